#pragma once
// The command line of quorvel-analyse:
//
//   quorvel-analyse [options] FILE...      analyse recordings
//   quorvel-analyse record [--config SimBoard.cfg] --seconds S OUT.MRF
//                                          record the simulated board
//
// Results go to `out` (or to the --output file), messages to `err`: each
// error is one line that names the file it concerns. Exit codes: 0 done,
// 1 a file could not be read, analysed or written, 2 the command line is
// wrong.
#include <ostream>

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// argv[0] is the program; `progress` allows the progress bar on `err`
// (main passes whether standard error is a terminal).
int runQuorvelAnalyse(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool progress);

#pragma once
// The built-in configuration text that creates a missing Quorvel.cfg: 65
// lines in code page 1251, each ended by CR LF. Its one source is
// resources/Quorvel.cfg. The Windows program carries it as resource type
// "CONFIG" number 120; elsewhere it is compiled in as a byte array.
#include <string_view>

inline constexpr int kBuiltInConfigResource = 120;

// The text's exact bytes; empty when the running Windows program carries no
// such resource.
std::string_view builtInConfigText();

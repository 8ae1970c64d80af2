#pragma once
// The calling convention of the operations of component objects, for every
// interface header that declares them. On Windows operations use __stdcall
// (which only matters in the 32-bit build); natively the default convention
// is used, so the same declarations serve the unit tests' fake components.
// This folder sits below every other one and includes nothing of the project.

#if defined(_WIN32)
#define QV_CALL __stdcall
#else
#define QV_CALL
#endif

#pragma once

// The release of these programs as one literal, shared by the C++ sources and
// the resource scripts (which understand only the preprocessor).
#define QUARN_RELEASE "2539162"

// The numeric version of the resources holds at most 65535 a part, so it
// carries the release's digits in order: 253.9162.0.0.
#define QUARN_RELEASE_MAJOR 253
#define QUARN_RELEASE_MINOR 9162

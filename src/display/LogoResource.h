// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The no-video logo (src/res/logo.jpg: 144 x 96, baseline, three components),
// compiled in as bytes when the program is built.
extern const uint8_t kLogoJpeg[];
extern const size_t kLogoJpegLength;

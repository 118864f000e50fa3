#pragma once

namespace tds::wire {

// 128-bit integers for decimal(38) magnitudes (a GCC/Clang extension).
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

} // namespace tds::wire

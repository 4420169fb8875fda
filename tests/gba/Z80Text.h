// The Z80's state as one line of text, for the messages of tests that compare two runs.
#pragma once

#include <cstdio>
#include <string>

#include "core/Z80.h"

namespace rix::test {

inline std::string DescribeZ80(const emu::Z80State& s) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "PC %04X SP %04X AF %02X%02X BC %02X%02X DE %02X%02X HL %02X%02X IX %04X "
                  "IY %04X WZ %04X R %02X I %02X IM %d iff %d%d halt %d delay %d ldair %d AF' "
                  "%02X%02X BC' %02X%02X DE' %02X%02X HL' %02X%02X cycles %llu",
                  s.pc, s.sp, s.a, s.f, s.b, s.c, s.d, s.e, s.h, s.l, s.ix, s.iy, s.wz, s.r, s.i,
                  s.im, s.iff1, s.iff2, s.halted, s.intDelay, s.ldAirLast, s.a2, s.f2, s.b2, s.c2,
                  s.d2, s.e2, s.h2, s.l2, static_cast<unsigned long long>(s.cycles));
    return text;
}

} // namespace rix::test

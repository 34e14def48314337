// JUCE's VST 2.4 wrapper asks for Steinberg's SDK headers by these paths. Debian's fst-dev
// (GPL-3+) provides compatible declarations; this file only forwards to them.
#pragma once
#include <pluginterfaces/fst/aeffect.h>

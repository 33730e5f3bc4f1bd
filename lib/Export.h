#pragma once
// Marks the units that the shared library publishes; everything else in it
// is hidden (the build compiles with -fvisibility=hidden).
#define CALVERDON_EXPORT __attribute__((visibility("default")))

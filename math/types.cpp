#include "math/types.h"

extern "C" {
int AXIS_X = 0;
int AXIS_Y = 1;
int AXIS_Z = 2;
int AXIS_W = 3;
}

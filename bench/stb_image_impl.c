/* stb_image's implementation, for the loader benchmark's comparison. Only the
 * GIF decoder is wanted; the others are left out to keep the build short. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#include <stb_image.h>

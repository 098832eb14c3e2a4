/* Channel value conversions: a single-precision channel value, 0.0 for code
 * 0 and 1.0 for full scale, to and from unsigned integer codes of 8, 16 and
 * 31 bits.
 *
 * Index of prototypes
 *   uint32_t channel_to_u8(float x)        0..255
 *   uint32_t channel_to_u16(float x)       0..65535
 *   uint32_t channel_to_u31(float x)       0..2147483647
 *   float    u8_to_channel(uint8_t v)      0.0..1.0
 *   float    u16_to_channel(uint16_t v)    0.0..1.0
 *   float    u31_to_channel(uint32_t v)    0.0..1.0
 *
 * Scales: 255 and 65535 for the 8- and 16-bit codes, so 1.0 lands exactly on
 * the largest code; 2^31 for the 31-bit code, so full scale lies one above
 * the largest code 2147483647 and is limited to it.
 *
 * Float to code, all in single precision (round to nearest, ties to even):
 *   p = x * scale; t = p + 0.5 (the product is rounded before the half is
 *   added); NaN or t < 1 gives 0; t >= largest code + 1 gives the largest
 *   code; otherwise the integer part of t. So a product halfway between two
 *   codes goes up (0.5 gives 128), and no argument (NaN, infinities, huge
 *   values, -0.0) reaches an out-of-range integer conversion. In the 31-bit
 *   width the half vanishes from p = 2^24 on, and between 2^23 and 2^24 the
 *   sum is a tie that goes to the even neighbour.
 *
 * Code to float: the code converted to float (for 31 bits, rounded to the
 * nearest float, ties to even) and divided by the scale with one correctly
 * rounded float division; a 31-bit quotient above 1.0 is 1.0, so every code
 * from 2147483584 up gives exactly 1.0.
 *
 * Every 8-bit and every 16-bit code survives the round trip code -> float ->
 * code; 31-bit codes need not.
 *
 * No state, no allocation, no errors: every argument gives a result in range.
 */
#ifndef KALU7_MATH_CHANNEL_H
#define KALU7_MATH_CHANNEL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* @param[in] x channel value, any float
 * @return code 0..255 */
uint32_t channel_to_u8(float x);
/* @param[in] x channel value, any float
 * @return code 0..65535 */
uint32_t channel_to_u16(float x);
/* @param[in] x channel value, any float
 * @return code 0..2147483647 */
uint32_t channel_to_u31(float x);

/* @param[in] v 8-bit code
 * @return v / 255 in float; 0 gives 0.0, 255 gives 1.0 */
float u8_to_channel(uint8_t v);
/* @param[in] v 16-bit code
 * @return v / 65535 in float; 0 gives 0.0, 65535 gives 1.0 */
float u16_to_channel(uint16_t v);
/* @param[in] v 31-bit code; all 32 bits are significant
 * @return v / 2^31 in float, limited to 1.0 */
float u31_to_channel(uint32_t v);

#ifdef __cplusplus
}
#endif

#endif

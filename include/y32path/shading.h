/* y32path/shading.h - lighting, shading and the A-buffer renderer.
 *
 * The shaders light a path's relief maps (y32path/relief.h): every pixel
 * under the mask gets a surface normal from its relief vector and a bevel
 * profile, and its colour is recomputed in place.
 *
 * Images are depth-24 PathBufs (blue, green, red bytes per pixel); masks,
 * second masks and bump maps are depth-8 PathBufs; all of them, and the
 * relief maps, must have the image's width and height (a buffer that does
 * not fit makes the call return 0 with error 3200 and nothing changed).
 * Colours passed as 32-bit values are 0x00BBGGRR.
 *
 * Bevel arguments shared by the shaders:
 *   W             bevel width in pixels (as KyPathVMap returned it).
 *   kind          0 rounded (quarter circle), 1 45-degree chamfer, 100 to
 *                 104 two bevels of width W/2: 100 round + round, 101
 *                 round + chamfer, 102 chamfer + round, 103 a chamfered
 *                 roof ridge, 104 a rounded bead; other values as 0.
 *   invert        nonzero sinks the bevel instead of raising it.
 *   depth         nonzero scales the steepness by 30 / depth.
 *   vectorFormat  the layout of the vector map (0 integer, else float).
 *   useMask2      nonzero: the pixels shaded are those of mask2, whose
 *                 value also flattens the surface (255: a flat face,
 *                 partial values tilt the normal towards flat).
 *   bumpPercent, bumpMap  a depth-8 height map perturbing the normals
 *                 (unused when either is 0 / NULL).
 *
 * Library-wide state: the light set (four lights), the profile table, the
 * gamma table, the metallic light set, the reflectance table (global
 * memory, released when the library is unloaded) and the transparency
 * table. The gamma table is all zero until ShadingGammaToMap is called:
 * until then shaded pixels come out black. Calls must not overlap. */
#ifndef Y32PATH_SHADING_H
#define Y32PATH_SHADING_H

#include "types.h"
#include "raster.h"
#include "relief.h"

Y32_BEGIN_C

/* ---- Light set and Phong shading ---- */

/* Sets the light set: exponent i = exponents[i] (1.0 when 0); specular i
 * = intensities[i] x 0.01; diffuse i = specular i x 0.3 + 0.7 / divisor;
 * light i's highlight colour from lightColours[i]; the ambient factor =
 * ambientPercent x 0.01 and the fixed ambient colour = ambientColour times
 * that factor. 1; 0 (nothing changed) for a NULL array or a divisor below
 * 1 (error 3200). */
Y32_API int32_t KyPathAdjPhongIllum(const int32_t *exponents, const int32_t *intensities, uint32_t ambientColour,
                                    const uint32_t *lightColours, int32_t divisor, int32_t ambientPercent);

/* Fills the gamma table (gamma 0.625: entry i = trunc((i/255)^0.625 x
 * 255)); returns the last entry (255). */
Y32_API int32_t ShadingGammaToMap(void);

/* Shades with light 0, whose direction becomes (lightX, lightY, lightZ).
 *   spot, spotX, spotY  spotlight on, its centre in percent of the image.
 *   fixedAmbient        nonzero: the fixed ambient colour instead of the
 *                       ambient factor times the pixel.
 *   highlight           nonzero: light 0's specular coefficient is
 *                       multiplied by 4 (and stays so until
 *                       KyPathAdjPhongIllum), and each shaded pixel's mask
 *                       byte is raised by 255 x its specular intensity.
 * 1; 0 when image, distanceMap, vectorMap or mask is NULL, or a buffer
 * does not fit (3200). */
Y32_API int32_t KyPathShadePhong(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                                 int32_t vectorFormat, ReliefDistanceMap distanceMap, ReliefVectorMap vectorMap,
                                 int32_t useMask2, PathBuf mask, PathBuf mask2, int32_t spot, int32_t spotX,
                                 int32_t spotY, double lightX, double lightY, double lightZ, int32_t fixedAmbient,
                                 int32_t highlight, int32_t bumpPercent, PathBuf bumpMap);

/* Shades with lights 0 .. lightCount - 1 (0 to 4): spotFlags[i],
 * spotCentres[2i], spotCentres[2i + 1] (percent) and lightDirections[3i ..
 * 3i + 2] (copied into the light set) for each. 0 as KyPathShadePhong, and
 * for a count outside 0..4 or a NULL array when the count is not 0. */
Y32_API int32_t KyPathShadeMultiPhong(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                                      int32_t vectorFormat, ReliefDistanceMap distanceMap,
                                      ReliefVectorMap vectorMap, int32_t useMask2, PathBuf mask, PathBuf mask2,
                                      int32_t lightCount, const int32_t *spotFlags, const int32_t *spotCentres,
                                      const double *lightDirections, int32_t fixedAmbient, int32_t highlight,
                                      int32_t bumpPercent, PathBuf bumpMap);

/* Aims light lightIndex (0..3) so that its highlight falls on pixel
 * pixelIndex of vectorRow (one row of a vector map in the given layout):
 * its direction becomes the view vector mirrored about the pixel's normal,
 * (2 Nz Nx, 2 Nz Ny, 2 Nz Nz - 1), also written to direction_out. mode 1
 * uses one normal where the bevel would mix two. 1; 0 for a NULL row or
 * output, a negative pixel index or a light index outside 0..3. */
Y32_API int32_t KypathChangeLightNormal(double W, int32_t kind, int32_t invert, int32_t depth, int32_t pixelIndex,
                                        int32_t vectorFormat, const void *vectorRow, int32_t mode,
                                        int32_t lightIndex, double *direction_out);

/* ---- Metallic, reflection, bump and masks ---- */

/* Loads the reflectance of metal 1 to 4 (any other value: 1) into the
 * reflectance table, allocating it on first use. 1; 0 (error 1001) when
 * the table cannot be allocated. */
Y32_API int32_t KyPathSetMetallicEffect(int32_t metal);

/* Sets the metallic light set: specular i = intensities[i] x 0.02 + 0.8,
 * diffuse i = (specular i - 0.8) x 0.15 + 0.2 / divisor, exponent i =
 * values[i] x 0.06 + 2.0, ambient = ambientPercent x 0.01. 1; 0 (nothing
 * changed) for a NULL array or a divisor below 1 (3200). */
Y32_API int32_t KyPathAdjMetallicIllum(const int32_t *values, const int32_t *intensities, int32_t divisor,
                                       int32_t ambientPercent);

/* KyPathShadePhong with the metallic light set: the highlight takes the
 * metal colour, brightened towards white where the metal reflects more.
 * highlightOut: a depth-8 buffer of the image's size raised by 255 x each
 * shaded pixel's specular intensity, or NULL. 1; 0 as KyPathShadePhong,
 * and when the reflectance table cannot be allocated (1001). */
Y32_API int32_t KyPathShadeMetallic(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                                    int32_t vectorFormat, ReliefDistanceMap distanceMap, ReliefVectorMap vectorMap,
                                    int32_t useMask2, PathBuf mask, PathBuf mask2, int32_t spot, int32_t spotX,
                                    int32_t spotY, double lightX, double lightY, double lightZ, uint32_t metalColour,
                                    PathBuf highlightOut, int32_t fixedAmbient, int32_t bumpPercent, PathBuf bumpMap);

/* KyPathShadeMultiPhong with the metallic light set and the metal colour. */
Y32_API int32_t KyPathShadeMultiMetallic(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                                         int32_t vectorFormat, ReliefDistanceMap distanceMap,
                                         ReliefVectorMap vectorMap, int32_t useMask2, PathBuf mask, PathBuf mask2,
                                         int32_t lightCount, const int32_t *spotFlags, const int32_t *spotCentres,
                                         const double *lightDirections, uint32_t metalColour, PathBuf highlightOut,
                                         int32_t fixedAmbient, int32_t bumpPercent, PathBuf bumpMap);

/* Mirrors an environment image (depth 24, any size) in the bevelled
 * surface: each shaded pixel is replaced, in proportion to its mask byte,
 * by the average of the environment over the footprint its four corners
 * reflect. vectorFormat also selects the latitude mapping of the
 * environment (nonzero: the vertical axis is an angle). 1; 0 when
 * vectorMap, image, environment or mask is NULL or a buffer does not fit
 * (3200). */
Y32_API int32_t KyPathReflectIt(int32_t kind, double W, ReliefVectorMap vectorMap, PathBuf image, int32_t invert,
                                int32_t depth, int32_t vectorFormat, PathBuf environment, int32_t useMask2,
                                PathBuf mask, PathBuf mask2, int32_t bumpPercent, PathBuf bumpMap);

/* KyPathReflectIt without a bump map, wrapping `texture` round the
 * surface. */
Y32_API int32_t KyPathBumpIt(int32_t kind, double W, ReliefVectorMap vectorMap, PathBuf image, int32_t invert,
                             int32_t depth, int32_t vectorFormat, PathBuf texture, int32_t useMask2, PathBuf mask,
                             PathBuf mask2);

/* Makes a glass-like mask: flat parts keep (100 - facePercent)% of their
 * opacity (at least 1/255), the steepest parts (100 - edgePercent)%.
 * Rewrites the depth-8 mask in place. blendMode 1 uses one normal where the
 * bevel would mix two. 1; 0 when mask or vectorMap is NULL, a percentage
 * lies outside 0..100 or a buffer does not fit (3200). */
Y32_API int32_t KyPathTransparentMask(PathBuf mask, int32_t facePercent, int32_t edgePercent, double W,
                                      int32_t kind, int32_t invert, int32_t depth, int32_t vectorFormat,
                                      ReliefVectorMap vectorMap, int32_t blendMode, int32_t bumpPercent,
                                      PathBuf bumpMap);

/* Marks with 1 in `out` (width x height bytes, cleared first) the pixels
 * of the rectangle (x0, y0, width, height) of the vector map whose normal
 * lies within 0.0088 per component of the halfway vector between the
 * light and the viewer, where the light's mirror image is seen. With the
 * light straight above only the first such pixel is marked. 1; 0 when out,
 * vectorMap or lightDirection is NULL or the size is negative. */
Y32_API int32_t KyPathGetHighlightMask(uint8_t *out, int32_t width, int32_t height, int32_t x0, int32_t y0, double W,
                                       int32_t kind, int32_t invert, int32_t depth, int32_t vectorFormat,
                                       ReliefVectorMap vectorMap, int32_t blendMode, const double *lightDirection);

Y32_END_C

/* ---- A-buffer rendering ---------------------------------------------------
 *
 * KyPathABufRender draws a path as a bevelled solid seen in perspective:
 * the outline stands on the image plane, the bevel (W, depth, kind, invert
 * as for the shaders) rises inwards to a flat face, the solid is turned
 * about the camera centre, shifted and projected from the eye at
 * (centreX, centreY, distance / tan(fieldOfView / 2)) onto the plane. Every
 * surface piece is kept per pixel with an 8 x 4 sub-pixel coverage mask and
 * resolved nearest first, so edges are anti-aliased and a transparent
 * (glass) object shows what lies behind its front surface.
 *
 * The output gets, where the object covers a pixel at all, the covered
 * colour (blue, green, red) without the coverage; the mask gets the covered
 * fraction (times the opacity for glass) for every output pixel that falls
 * on it, 0 where nothing covers. With a second mask, only pixels where it
 * is nonzero are written (output and mask). The renderer has its own light
 * (direction (-0.5773502, -0.5773502, 0.5773502), ambient 0.2, diffuse
 * 0.75, specular 0.8, exponent 28 at load), separate from the shaders'. */

/* The camera, 104 bytes on 32-bit hosts. */
typedef struct ABufCamera {
    FIXED centreX, centreY; /* centre of rotation, image space */
    FIXED offsetX, offsetY; /* added after the rotation */
    double distance;        /* base distance of the viewer */
    double fieldOfView;     /* full viewing angle, degrees (0: parallel view) */
    double rotation[9];     /* row by row, points as row vectors (p * M) */
} ABufCamera;

Y32_BEGIN_C

/* Renders path (every record of its table list) into output (depth 24;
 * its size is the picture size) in strips of at most 500 rows.
 *   required      must be non-NULL; not otherwise read.
 *   maskOrigin    image position of pixel (0, 0) of mask and mask2 (two
 *                 int32; NULL: (0, 0)).
 *   origin        image position of the output's pixel (0, 0) (NULL:
 *                 (0, 0)).
 *   colour        object colour 0x00BBGGRR.
 *   mask          depth-8 coverage output, required; mask2 depth 8 or
 *                 NULL.
 *   alpha         0: opaque; nonzero: glass, each surface's opacity from
 *                 the angle it is seen at (more opaque at grazing angles)
 *                 scaled by alpha / 255, highlights more opaque.
 *   W, depth, kind, invert  the bevel (W <= 0: a flat slab).
 *   light         three doubles: the renderer light's new direction
 *                 (normalised); NULL, zero or non-finite: left as it is.
 * The reserved arguments are not read. 1; 0 when path, camera, output,
 * required or mask is NULL, when the renderer's heap cannot be created, for
 * an output that is not depth 24 or masks that are not depth 8 (3200), a
 * camera whose eye is not in front of the picture plane or has non-finite
 * values (3200), or when memory runs out (1001; strips already finished
 * stay drawn). */
Y32_API int32_t KyPathABufRender(KyPath *path, const ABufCamera *camera, PathBuf output, const void *required,
                                 int32_t reserved5, const int32_t *maskOrigin, const int32_t *origin, uint32_t colour,
                                 PathBuf mask, PathBuf mask2, int32_t reserved11, int32_t reserved12,
                                 int32_t reserved13, int32_t reserved14, int32_t reserved15, int32_t reserved16,
                                 int32_t reserved17, int32_t alpha, int32_t reserved19, int32_t W, int32_t depth,
                                 int32_t kind, int32_t invert, const double *light, int32_t reserved25);

Y32_END_C

#endif

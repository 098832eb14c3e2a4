/* The records exchanged between the host application and a plug-in module.
 *
 * Plain C layout, usable from C and C++. The host reads the module descriptor,
 * walks its server list and calls a server's activation function; for an image
 * loader it passes a loader request, through which the loader asks the host
 * for an image sink and delivers the image.
 *
 * Ownership in one line: the module owns the descriptor and the server list
 * (static, read-only, alive while the module is loaded); the host owns the
 * loader request and every image sink; the loader owns nothing beyond one
 * activation call, and every pointer it hands the host (texts, colours, rows)
 * is valid only for the duration of the call that receives it.
 */
#ifndef KALU7_GIFLOADER_HOST_API_H
#define KALU7_GIFLOADER_HOST_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Module descriptor and server list -------------------------------- */

/* The three header words every module descriptor of this interface carries. */
#define HOST_MODULE_HEADER_1 0x04121994u
#define HOST_MODULE_HEADER_2 3u
#define HOST_MODULE_HEADER_3 0x300u

/* The name under which a module exports its descriptor. */
#define HOST_MODULE_DESCRIPTOR_SYMBOL "_mod_descrip"

/* Class name of image loader servers. */
#define HOST_CLASS_IMAGE_LOADER "ImageLoader"

/* Activation function of a server. The integer and the two opaque host
 * pointers are the host's; a server may ignore them. `request` points to the
 * class's request record (a `loader_request` for an image loader), owned by
 * the host and valid for the duration of the call. Called on whatever thread
 * the host chooses; a call runs to its end before it returns. */
typedef int32_t (*server_activate_fn)(int32_t host_word, void *host_ptr_1,
                                      void *request, void *host_ptr_2);

/* One entry of a module's server list. The list ends with an entry whose four
 * fields are all null. All strings are NUL-terminated and owned by the
 * module; they live as long as the module is loaded. */
typedef struct server_record {
  const char *class_name;     /* host class, e.g. "ImageLoader" */
  const char *server_name;    /* the server's own name */
  server_activate_fn activate;
  const void *aux_info;       /* further descriptive data, or null */
} server_record;

/* The module descriptor, the module's only export. Constant data owned by the
 * module; the host must not write it. */
typedef struct module_descriptor {
  uint32_t header_1;          /* HOST_MODULE_HEADER_1 */
  uint32_t header_2;          /* HOST_MODULE_HEADER_2 */
  uint32_t header_3;          /* HOST_MODULE_HEADER_3 */
  /* Returns an opaque non-null token; allocates nothing. */
  void *(*make_token)(void);
  /* Releases a token; may be given any value, including one never issued. */
  void (*drop_token)(void *token);
  const server_record *servers; /* first entry of the server list */
} module_descriptor;

/* ---- Image loading ----------------------------------------------------- */

/* Image type code given to begin_image: 8-bit palette indices with a palette. */
#define IMAGE_TYPE_PALETTE_8 2
/* Parameter codes of set_parameter. */
#define IMAGE_PARAM_ASPECT 1        /* text: width divided by height, "%g" */
#define IMAGE_PARAM_PALETTE_SIZE 2  /* text: number of palette entries, "%d" */
/* Error code given to finish when the image was delivered whole. */
#define IMAGE_FINISH_OK 0
/* Request result for a file the loader did not load. */
#define LOADER_RESULT_REFUSED 1

/* An image sink: where a loader delivers one image. Owned by the host,
 * obtained from begin_image and valid until it is passed to end_image. Every
 * function takes `sink_context` as its first argument. Pointers passed to
 * these functions (texts, colours, rows) are owned by the loader and valid
 * only during the call: a host that wants to keep the data copies it. */
typedef struct image_sink {
  void *kind;                 /* the host's own; loaders never read it */
  void *sink_context;
  /* Ends the image. error_code is IMAGE_FINISH_OK when the image was
   * delivered whole, non-zero otherwise. The result becomes the request's
   * result. */
  int32_t (*finish)(void *sink_context, int32_t error_code);
  void (*set_dimensions)(void *sink_context, int32_t width, int32_t height);
  /* text is NUL-terminated. */
  void (*set_parameter)(void *sink_context, int32_t code, const char *text);
  /* bytes holds `width` palette indices of row `row` (0 is the top row). */
  void (*put_row)(void *sink_context, int32_t row, const uint8_t *bytes);
  /* rgb holds three bytes: red, green, blue. */
  void (*set_palette_entry)(void *sink_context, int32_t index, const uint8_t *rgb);
} image_sink;

/* What the host hands an image loader's activation function. Owned by the
 * host and valid for the duration of the call. */
typedef struct loader_request {
  void *host_context;         /* first argument of begin_image and end_image */
  int32_t result;             /* written by the loader */
  const char *file_name;      /* NUL-terminated 8-bit text */
  void *extra;                /* the host's own; loaders never read it */
  /* Asks the host for a sink for an image of the given type code. May return
   * null when the host cannot take the image. */
  image_sink *(*begin_image)(void *host_context, int32_t image_type);
  /* Tells the host that the loader is done with the sink. */
  void (*end_image)(void *host_context, image_sink *sink);
} loader_request;

#ifdef __cplusplus
}
#endif

#endif

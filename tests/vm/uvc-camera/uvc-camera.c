/*
 * uvc-camera - an emulated USB Video Class 1.1 webcam for the V4L2 suite in
 * the test VM. It runs on the device side of the software USB controller
 * (dummy_hcd) through gadgetfs; the kernel's unmodified uvcvideo binds to it
 * on the host side and creates an ordinary capture node.
 *
 * gadgetfs, not the kernel's configfs UVC function: on Debian's 6.1 that
 * function streams only over an isochronous endpoint, which dummy_hcd lacks,
 * and its bmControls are read-only. Here the program writes the whole device:
 * descriptors with any bmControls, one bulk streaming endpoint, the class
 * control requests, probe/commit and the video payloads.
 *
 * Limits of gadgetfs/dummy_hcd, not of this program:
 *   - every IN control transfer is cut at 256 bytes, the configuration
 *     descriptor included: one YUYV format with about three frame sizes;
 *   - the data stage of a SET_CUR is acked before the program sees it, so a
 *     SET_CUR cannot be refused: an out-of-range value is kept out (and
 *     logged) but the request succeeds;
 *   - the host's stream stop (CLEAR_FEATURE(HALT)) stays inside dummy_hcd; a
 *     write that makes no progress for --stall-timeout ms means "stopped".
 *
 * Every SET_CUR that reaches the device is logged as
 *   "SET <control> = <value>[,<value2>]"
 * on stderr and, with --log FILE, in FILE, so a test can check what the
 * application really sent.
 */
#define _GNU_SOURCE
#include <endian.h>
#include <errno.h>
#include <fcntl.h>
#include <getopt.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <linux/usb/ch9.h>
#include <linux/usb/gadgetfs.h>
#include <linux/usb/video.h>

/* ------------------------------------------------------------ settings -- */

#define MAX_FRAMES 8
#define MAX_INTERVALS 6
#define CONFIG_LIMIT 256          /* gadgetfs RBUF_SIZE: IN transfers are cut here */
#define EP_IN_ADDR 0x81           /* dummy_udc "ep1in-bulk" */
#define PROBE_SIZE 34             /* UVC 1.1 probe/commit control */
#define CLOCK_HZ 48000000u

struct frame_spec {
    uint16_t w, h;
    uint8_t nint;
    uint32_t interval[MAX_INTERVALS]; /* 100 ns units, ascending (fastest first) */
};

static struct frame_spec g_frames[MAX_FRAMES];
static int g_nframes;
static const char *g_gadget_dir = "/dev/gadget";
static const char *g_product = "UVC Test Camera";
static const char *g_manufacturer = "gadgetfs";
static uint16_t g_vid = 0x1d6b, g_pid = 0x0102;
static uint32_t g_ct_mask = 0x22AAE;   /* see control table; Roll included, which uvcvideo does not map */
static uint32_t g_pu_mask = 0x177F;
static uint8_t g_ae_modes = 0x09;      /* manual + aperture priority */
static int g_verbose;
static int g_stall_timeout_ms = 3000;
static FILE *g_logf;
static int g_pattern_effects = 1;

/* --------------------------------------------------------------- logging -- */

static pthread_mutex_t g_log_lock = PTHREAD_MUTEX_INITIALIZER;

static double now_s(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

__attribute__((format(printf, 1, 2))) static void logmsg(const char *fmt, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    pthread_mutex_lock(&g_log_lock);
    fprintf(stderr, "UVC-CAM: %s\n", line);
    if (g_logf) {
        fprintf(g_logf, "[%.3f] %s\n", now_s(), line);
        fflush(g_logf);
    }
    pthread_mutex_unlock(&g_log_lock);
}
#define vlog(...) do { if (g_verbose) logmsg(__VA_ARGS__); } while (0)

/* -------------------------------------------------------------- controls -- */

enum { RQ_CUR = 1, RQ_MIN = 2, RQ_MAX = 4, RQ_RES = 8, RQ_DEF = 16, RQ_INFO = 32, RQ_LEN = 64 };
#define RQ_NUM (RQ_CUR | RQ_MIN | RQ_MAX | RQ_RES | RQ_DEF | RQ_INFO | RQ_LEN)
#define RQ_NOMINMAX (RQ_CUR | RQ_RES | RQ_DEF | RQ_INFO | RQ_LEN)

#define UNIT_CT 1
#define UNIT_PU 2
#define UNIT_OT 3

struct control {
    const char *name;
    uint8_t unit, selector, bit, size, nfields, is_signed;
    uint8_t reqs;
    int32_t min, max, res, def;
    int32_t cur[2];
    int master;               /* index of the automatic-mode control, or -1 */
    uint8_t manual_mask;      /* slave is manual when (1 << master value) ... see is_auto() */
};

/* Ranges modelled on common USB webcams.  Exposure in 100 us units, white
 * balance in kelvin, pan/tilt in arc seconds, focus/zoom/iris unitless. */
static struct control g_ctrls[] = {
    /* Processing Unit (bUnitID 2) */
    {"brightness", UNIT_PU, UVC_PU_BRIGHTNESS_CONTROL, 0, 2, 1, 1, RQ_NUM, -64, 64, 1, 0, {0}, -1, 0},
    {"contrast", UNIT_PU, UVC_PU_CONTRAST_CONTROL, 1, 2, 1, 0, RQ_NUM, 0, 100, 1, 50, {0}, -1, 0},
    {"hue", UNIT_PU, UVC_PU_HUE_CONTROL, 2, 2, 1, 1, RQ_NUM, -40, 40, 1, 0, {0}, -1, 0},
    {"saturation", UNIT_PU, UVC_PU_SATURATION_CONTROL, 3, 2, 1, 0, RQ_NUM, 0, 100, 1, 64, {0}, -1, 0},
    {"sharpness", UNIT_PU, UVC_PU_SHARPNESS_CONTROL, 4, 2, 1, 0, RQ_NUM, 0, 7, 1, 3, {0}, -1, 0},
    {"gamma", UNIT_PU, UVC_PU_GAMMA_CONTROL, 5, 2, 1, 0, RQ_NUM, 72, 500, 1, 100, {0}, -1, 0},
    {"white_balance_temperature", UNIT_PU, UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL, 6, 2, 1, 0, RQ_NUM,
     2800, 6500, 10, 4600, {0}, -2 /* -> white_balance_temperature_auto */, 0},
    {"white_balance_component", UNIT_PU, UVC_PU_WHITE_BALANCE_COMPONENT_CONTROL, 7, 4, 2, 0, RQ_NUM,
     0, 255, 1, 128, {0}, -2 /* -> white_balance_component_auto */, 0},
    {"backlight_compensation", UNIT_PU, UVC_PU_BACKLIGHT_COMPENSATION_CONTROL, 8, 2, 1, 0, RQ_NUM, 0, 2, 1, 1, {0}, -1, 0},
    {"gain", UNIT_PU, UVC_PU_GAIN_CONTROL, 9, 2, 1, 0, RQ_NUM, 0, 100, 1, 0, {0}, -1, 0},
    {"power_line_frequency", UNIT_PU, UVC_PU_POWER_LINE_FREQUENCY_CONTROL, 10, 1, 1, 0, RQ_NUM, 0, 2, 1, 1, {0}, -1, 0},
    {"hue_auto", UNIT_PU, UVC_PU_HUE_AUTO_CONTROL, 11, 1, 1, 0, RQ_NUM, 0, 1, 1, 0, {0}, -1, 0},
    {"white_balance_temperature_auto", UNIT_PU, UVC_PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, 12, 1, 1, 0, RQ_NUM,
     0, 1, 1, 1, {0}, -1, 0},
    {"white_balance_component_auto", UNIT_PU, UVC_PU_WHITE_BALANCE_COMPONENT_AUTO_CONTROL, 13, 1, 1, 0, RQ_NUM,
     0, 1, 1, 1, {0}, -1, 0},
    /* Camera Terminal (bTerminalID 1) */
    {"auto_exposure_mode", UNIT_CT, UVC_CT_AE_MODE_CONTROL, 1, 1, 1, 0, RQ_NOMINMAX, 0, 0, 0x09, 8, {0}, -1, 0},
    {"auto_exposure_priority", UNIT_CT, UVC_CT_AE_PRIORITY_CONTROL, 2, 1, 1, 0, RQ_NUM, 0, 1, 1, 0, {0}, -1, 0},
    {"exposure_time_absolute", UNIT_CT, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 3, 4, 1, 0, RQ_NUM,
     3, 2047, 1, 250, {0}, -2 /* -> auto_exposure_mode */, 0},
    {"focus_absolute", UNIT_CT, UVC_CT_FOCUS_ABSOLUTE_CONTROL, 5, 2, 1, 0, RQ_NUM, 0, 250, 5, 0, {0},
     -2 /* -> focus_auto */, 0},
    {"iris_absolute", UNIT_CT, UVC_CT_IRIS_ABSOLUTE_CONTROL, 7, 2, 1, 0, RQ_NUM, 100, 800, 10, 200, {0}, -1, 0},
    {"zoom_absolute", UNIT_CT, UVC_CT_ZOOM_ABSOLUTE_CONTROL, 9, 2, 1, 0, RQ_NUM, 100, 500, 1, 100, {0}, -1, 0},
    {"pantilt_absolute", UNIT_CT, UVC_CT_PANTILT_ABSOLUTE_CONTROL, 11, 8, 2, 1, RQ_NUM,
     -36000, 36000, 3600, 0, {0}, -1, 0},
    {"roll_absolute", UNIT_CT, UVC_CT_ROLL_ABSOLUTE_CONTROL, 13, 2, 1, 1, RQ_NUM, -180, 180, 1, 0, {0}, -1, 0},
    {"focus_auto", UNIT_CT, UVC_CT_FOCUS_AUTO_CONTROL, 17, 1, 1, 0, RQ_NUM, 0, 1, 1, 1, {0}, -1, 0},
    {"privacy", UNIT_CT, UVC_CT_PRIVACY_CONTROL, 18, 1, 1, 0, RQ_NUM, 0, 1, 1, 0, {0}, -1, 0},
};
#define NCTRLS ((int)(sizeof g_ctrls / sizeof g_ctrls[0]))
/* --fail-range: the control's GET_MIN/MAX/RES/DEF stall, as on a faulty camera */
static uint8_t g_fail_range[NCTRLS];

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER; /* controls + stream state */

static int find_ctrl_by_name(const char *name)
{
    for (int i = 0; i < NCTRLS; i++)
        if (!strcmp(g_ctrls[i].name, name))
            return i;
    return -1;
}

static int advertised(const struct control *c)
{
    uint32_t mask = c->unit == UNIT_CT ? g_ct_mask : g_pu_mask;
    return (mask >> c->bit) & 1;
}

static struct control *find_ctrl(uint8_t unit, uint8_t selector)
{
    for (int i = 0; i < NCTRLS; i++)
        if (g_ctrls[i].unit == unit && g_ctrls[i].selector == selector && advertised(&g_ctrls[i]))
            return &g_ctrls[i];
    return NULL;
}

/* Is control c currently overridden by its automatic-mode master? */
static int is_auto(const struct control *c)
{
    if (c->master < 0)
        return 0;
    const struct control *m = &g_ctrls[c->master];
    if (!advertised(m))
        return 0;
    if (m->selector == UVC_CT_AE_MODE_CONTROL && m->unit == UNIT_CT)
        return !(m->cur[0] & 0x05); /* manual (1) and shutter priority (4) take a manual time */
    return m->cur[0] != 0;
}

static void init_controls(void)
{
    for (int i = 0; i < NCTRLS; i++) {
        struct control *c = &g_ctrls[i];
        c->cur[0] = c->cur[1] = c->def;
        if (c->master == -2) {
            const char *mname =
                c->selector == UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL && c->unit == UNIT_PU ? "white_balance_temperature_auto"
                : c->selector == UVC_PU_WHITE_BALANCE_COMPONENT_CONTROL && c->unit == UNIT_PU ? "white_balance_component_auto"
                : c->selector == UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL ? "auto_exposure_mode"
                : "focus_auto";
            c->master = find_ctrl_by_name(mname);
        }
    }
    struct control *ae = &g_ctrls[find_ctrl_by_name("auto_exposure_mode")];
    ae->res = g_ae_modes;
    /* default: aperture priority if offered, else auto, else the lowest mode */
    ae->def = (g_ae_modes & 8) ? 8 : (g_ae_modes & 2) ? 2 : (g_ae_modes & -g_ae_modes);
    ae->cur[0] = ae->def;
}

static void put_field(uint8_t *p, int bytes, int32_t v)
{
    for (int i = 0; i < bytes; i++)
        p[i] = (uint8_t)((uint32_t)v >> (8 * i));
}

static int32_t get_field(const uint8_t *p, int bytes, int is_signed)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++)
        v |= (uint32_t)p[i] << (8 * i);
    if (is_signed && bytes < 4 && (v & (1u << (8 * bytes - 1))))
        v |= ~0u << (8 * bytes);
    return (int32_t)v;
}

/* ------------------------------------------------------------ descriptors -- */

struct buf {
    uint8_t d[1024];
    size_t n;
};
static void put8(struct buf *b, unsigned v) { b->d[b->n++] = (uint8_t)v; }
static void put16(struct buf *b, unsigned v) { put8(b, v & 0xff); put8(b, (v >> 8) & 0xff); }
static void put32(struct buf *b, uint32_t v) { put16(b, v & 0xffff); put16(b, v >> 16); }
static void set16(struct buf *b, size_t at, unsigned v) { b->d[at] = v & 0xff; b->d[at + 1] = (v >> 8) & 0xff; }

static const uint8_t GUID_YUY2[16] = {'Y', 'U', 'Y', '2', 0x00, 0x00, 0x10, 0x00,
                                      0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

static uint32_t frame_bytes(const struct frame_spec *f) { return (uint32_t)f->w * f->h * 2; }

/* Full configuration descriptor (FS or HS); returns its length. */
static size_t build_config(struct buf *b, int high_speed)
{
    b->n = 0;
    /* configuration */
    put8(b, USB_DT_CONFIG_SIZE); put8(b, USB_DT_CONFIG);
    size_t total_at = b->n; put16(b, 0);
    put8(b, 2); put8(b, 1); put8(b, 0); put8(b, USB_CONFIG_ATT_ONE); put8(b, 250);
    /* interface association */
    put8(b, 8); put8(b, USB_DT_INTERFACE_ASSOCIATION); put8(b, 0); put8(b, 2);
    /* iFunction / iInterface stay 0: uvcvideo would append them to the
     * card name ("<product>: <iFunction>"), unlike most real webcams */
    put8(b, USB_CLASS_VIDEO); put8(b, UVC_SC_VIDEO_INTERFACE_COLLECTION); put8(b, 0); put8(b, 0);
    /* VideoControl interface */
    put8(b, USB_DT_INTERFACE_SIZE); put8(b, USB_DT_INTERFACE); put8(b, 0); put8(b, 0); put8(b, 0);
    put8(b, USB_CLASS_VIDEO); put8(b, UVC_SC_VIDEOCONTROL); put8(b, 0); put8(b, 0);
    size_t vc_at = b->n;
    put8(b, 13); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VC_HEADER); put16(b, 0x0110);
    size_t vc_total_at = b->n; put16(b, 0);
    put32(b, CLOCK_HZ); put8(b, 1); put8(b, 1);
    /* camera terminal, bControlSize 3 */
    put8(b, 18); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VC_INPUT_TERMINAL); put8(b, UNIT_CT);
    put16(b, UVC_ITT_CAMERA); put8(b, 0); put8(b, 0); put16(b, 0); put16(b, 0); put16(b, 0);
    put8(b, 3); put8(b, g_ct_mask & 0xff); put8(b, (g_ct_mask >> 8) & 0xff); put8(b, (g_ct_mask >> 16) & 0xff);
    /* processing unit (UVC 1.1 layout), bControlSize 2 */
    put8(b, 12); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VC_PROCESSING_UNIT); put8(b, UNIT_PU);
    put8(b, UNIT_CT); put16(b, 0); put8(b, 2); put8(b, g_pu_mask & 0xff); put8(b, (g_pu_mask >> 8) & 0xff);
    put8(b, 0); put8(b, 0);
    /* output terminal */
    put8(b, 9); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VC_OUTPUT_TERMINAL); put8(b, UNIT_OT);
    put16(b, UVC_TT_STREAMING); put8(b, 0); put8(b, UNIT_PU); put8(b, 0);
    set16(b, vc_total_at, (unsigned)(b->n - vc_at));
    /* VideoStreaming interface, alt 0, one bulk endpoint */
    put8(b, USB_DT_INTERFACE_SIZE); put8(b, USB_DT_INTERFACE); put8(b, 1); put8(b, 0); put8(b, 1);
    put8(b, USB_CLASS_VIDEO); put8(b, UVC_SC_VIDEOSTREAMING); put8(b, 0); put8(b, 0);
    size_t vs_at = b->n;
    put8(b, 14); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VS_INPUT_HEADER); put8(b, 1);
    size_t vs_total_at = b->n; put16(b, 0);
    put8(b, EP_IN_ADDR); put8(b, 0); put8(b, UNIT_OT); put8(b, 0); put8(b, 0); put8(b, 0);
    put8(b, 1); put8(b, 0);
    /* YUYV format */
    put8(b, 27); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VS_FORMAT_UNCOMPRESSED); put8(b, 1);
    put8(b, (unsigned)g_nframes);
    for (int i = 0; i < 16; i++) put8(b, GUID_YUY2[i]);
    put8(b, 16); put8(b, 1); put8(b, 0); put8(b, 0); put8(b, 0); put8(b, 0);
    for (int i = 0; i < g_nframes; i++) {
        const struct frame_spec *f = &g_frames[i];
        uint32_t fb = frame_bytes(f);
        put8(b, 26 + 4 * f->nint); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VS_FRAME_UNCOMPRESSED);
        put8(b, (unsigned)i + 1); put8(b, 0); put16(b, f->w); put16(b, f->h);
        put32(b, (uint32_t)((uint64_t)fb * 8 * 10000000u / f->interval[f->nint - 1]));
        put32(b, (uint32_t)((uint64_t)fb * 8 * 10000000u / f->interval[0]));
        put32(b, fb); put32(b, f->interval[0]); put8(b, f->nint);
        for (int k = 0; k < f->nint; k++) put32(b, f->interval[k]);
    }
    put8(b, 6); put8(b, USB_DT_CS_INTERFACE); put8(b, UVC_VS_COLORFORMAT); put8(b, 1); put8(b, 1); put8(b, 4);
    set16(b, vs_total_at, (unsigned)(b->n - vs_at));
    /* bulk IN endpoint */
    put8(b, USB_DT_ENDPOINT_SIZE); put8(b, USB_DT_ENDPOINT); put8(b, EP_IN_ADDR); put8(b, USB_ENDPOINT_XFER_BULK);
    put16(b, high_speed ? 512 : 64); put8(b, 0);
    set16(b, total_at, (unsigned)b->n);
    return b->n;
}

static void build_device(struct buf *b)
{
    b->n = 0;
    put8(b, USB_DT_DEVICE_SIZE); put8(b, USB_DT_DEVICE); put16(b, 0x0200);
    put8(b, USB_CLASS_MISC); put8(b, 0x02); put8(b, 0x01); put8(b, 64);
    put16(b, g_vid); put16(b, g_pid); put16(b, 0x0100);
    put8(b, 1); put8(b, 2); put8(b, 3); put8(b, 1);
}

/* ------------------------------------------------------- stream state --- */

struct probe {
    uint16_t bmHint;
    uint8_t bFormatIndex, bFrameIndex;
    uint32_t dwFrameInterval;
    uint16_t wKeyFrameRate, wPFrameRate, wCompQuality, wCompWindowSize, wDelay;
    uint32_t dwMaxVideoFrameSize, dwMaxPayloadTransferSize, dwClockFrequency;
    uint8_t bmFramingInfo, bPreferedVersion, bMinVersion, bMaxVersion;
};

static struct probe g_probe, g_commit;
static int g_high_speed = 1;
static int g_ep0_fd = -1;
static int g_ep_fd = -1;            /* bulk IN endpoint, owned under g_lock */
static volatile unsigned g_gen;     /* bumped on every commit / stop / reconfig */
static int g_streaming;             /* host committed and we should send */
static pthread_cond_t g_cv = PTHREAD_COND_INITIALIZER;
static pthread_t g_writer;
static volatile int g_writer_gen_seen; /* writer picked up this generation */
static volatile int g_writer_in_io;    /* writer is inside write() */
static volatile double g_writer_io_start;
static volatile int g_writer_idle = 1; /* writer not touching g_ep_fd */
static uint8_t g_last_error;

static unsigned max_packet(void) { return g_high_speed ? 512 : 64; }
static uint32_t payload_size(void) { return 32 * max_packet(); } /* == uvcvideo's URB size */

static void probe_pack(const struct probe *p, uint8_t *d)
{
    memset(d, 0, PROBE_SIZE);
    put_field(d + 0, 2, p->bmHint); d[2] = p->bFormatIndex; d[3] = p->bFrameIndex;
    put_field(d + 4, 4, (int32_t)p->dwFrameInterval);
    put_field(d + 8, 2, p->wKeyFrameRate); put_field(d + 10, 2, p->wPFrameRate);
    put_field(d + 12, 2, p->wCompQuality); put_field(d + 14, 2, p->wCompWindowSize);
    put_field(d + 16, 2, p->wDelay); put_field(d + 18, 4, (int32_t)p->dwMaxVideoFrameSize);
    put_field(d + 22, 4, (int32_t)p->dwMaxPayloadTransferSize);
    put_field(d + 26, 4, (int32_t)p->dwClockFrequency);
    d[30] = p->bmFramingInfo; d[31] = p->bPreferedVersion; d[32] = p->bMinVersion; d[33] = p->bMaxVersion;
}

static void probe_unpack(const uint8_t *d, size_t len, struct probe *p)
{
    uint8_t tmp[PROBE_SIZE] = {0};
    memcpy(tmp, d, len < PROBE_SIZE ? len : PROBE_SIZE);
    p->bmHint = (uint16_t)get_field(tmp, 2, 0); p->bFormatIndex = tmp[2]; p->bFrameIndex = tmp[3];
    p->dwFrameInterval = (uint32_t)get_field(tmp + 4, 4, 0);
    p->wKeyFrameRate = (uint16_t)get_field(tmp + 8, 2, 0);
    p->wPFrameRate = (uint16_t)get_field(tmp + 10, 2, 0);
    p->wCompQuality = (uint16_t)get_field(tmp + 12, 2, 0);
    p->wCompWindowSize = (uint16_t)get_field(tmp + 14, 2, 0);
    p->wDelay = (uint16_t)get_field(tmp + 16, 2, 0);
    p->dwMaxVideoFrameSize = (uint32_t)get_field(tmp + 18, 4, 0);
    p->dwMaxPayloadTransferSize = (uint32_t)get_field(tmp + 22, 4, 0);
    p->dwClockFrequency = (uint32_t)get_field(tmp + 26, 4, 0);
    p->bmFramingInfo = tmp[30]; p->bPreferedVersion = tmp[31];
    p->bMinVersion = tmp[32]; p->bMaxVersion = tmp[33];
}

/* Turn what the host asked for into what we can do (UVC 1.1 4.3.1.1). */
static void probe_fixup(struct probe *p)
{
    if (p->bFormatIndex != 1)
        p->bFormatIndex = 1;
    if (p->bFrameIndex < 1 || p->bFrameIndex > g_nframes)
        p->bFrameIndex = 1;
    const struct frame_spec *f = &g_frames[p->bFrameIndex - 1];
    uint32_t best = f->interval[0];
    uint64_t bestd = UINT64_MAX;
    for (int k = 0; k < f->nint; k++) {
        uint64_t d = p->dwFrameInterval > f->interval[k] ? p->dwFrameInterval - f->interval[k]
                                                         : f->interval[k] - p->dwFrameInterval;
        if (p->dwFrameInterval == 0)
            d = k; /* 0 = "don't care": take the default (first) */
        if (d < bestd) { bestd = d; best = f->interval[k]; }
    }
    p->dwFrameInterval = best;
    p->wKeyFrameRate = 0; p->wPFrameRate = 0; p->wCompQuality = 0; p->wCompWindowSize = 0;
    p->wDelay = 0;
    p->dwMaxVideoFrameSize = frame_bytes(f);
    p->dwMaxPayloadTransferSize = payload_size();
    p->dwClockFrequency = CLOCK_HZ;
    p->bmFramingInfo = 0x03; p->bPreferedVersion = 0; p->bMinVersion = 0; p->bMaxVersion = 0;
}

static void probe_default(struct probe *p, int which /* 0 def, 1 min, 2 max */)
{
    memset(p, 0, sizeof *p);
    p->bmHint = 1; p->bFormatIndex = 1; p->bFrameIndex = 1;
    const struct frame_spec *f = &g_frames[0];
    p->dwFrameInterval = which == 2 ? f->interval[f->nint - 1] : f->interval[0];
    probe_fixup(p);
    if (which == 2) p->dwFrameInterval = f->interval[f->nint - 1];
}

/* Ask the writer thread to drop what it is doing (called with g_lock held). */
static void kick_writer_locked(void)
{
    g_gen++;
    pthread_cond_broadcast(&g_cv);
    pthread_kill(g_writer, SIGUSR1);
}

/* Stop streaming and wait until the writer no longer uses g_ep_fd. */
static void stop_writer_locked(void)
{
    g_streaming = 0;
    kick_writer_locked();
    for (int i = 0; i < 400 && !g_writer_idle; i++) {
        pthread_mutex_unlock(&g_lock);
        pthread_kill(g_writer, SIGUSR1);
        usleep(5000);
        pthread_mutex_lock(&g_lock);
    }
    if (!g_writer_idle)
        logmsg("warning: writer did not stop within 2 s");
}

/* --------------------------------------------------------- video frames -- */

static uint8_t clamp8(int v) { return v < 0 ? 0 : v > 255 ? 255 : (uint8_t)v; }

/* 100 % colour bars (Y, U, V) */
static const uint8_t BARS[8][3] = {
    {235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
    {106, 202, 222}, {81, 90, 240}, {41, 240, 110}, {16, 128, 128},
};

/* Renders a YUYV frame: colour bars, a moving vertical stripe, and the frame
 * number as 16 black/white blocks in the top rows.  Brightness, contrast and
 * saturation (when advertised) change the picture the way a camera would, so
 * a client can see its control writes take effect. */
static void render_yuyv(uint8_t *dst, int w, int h, uint32_t seq)
{
    int bright = 0, contrast = 100, sat = 100, inv = 0;
    if (g_pattern_effects) {
        pthread_mutex_lock(&g_lock);
        const struct control *c;
        if ((c = find_ctrl(UNIT_PU, UVC_PU_BRIGHTNESS_CONTROL)))
            bright = c->cur[0] * 128 / (c->max > 0 ? c->max : 1) / 2;
        if ((c = find_ctrl(UNIT_PU, UVC_PU_CONTRAST_CONTROL)) && c->def > 0)
            contrast = c->cur[0] * 100 / c->def;
        if ((c = find_ctrl(UNIT_PU, UVC_PU_SATURATION_CONTROL)) && c->def > 0)
            sat = c->cur[0] * 100 / c->def;
        if ((c = find_ctrl(UNIT_CT, UVC_CT_PRIVACY_CONTROL)) && c->cur[0])
            inv = 1;
        pthread_mutex_unlock(&g_lock);
    }
    uint8_t ylut[256], clut[256];
    for (int i = 0; i < 256; i++) {
        ylut[i] = inv ? 16 : clamp8((i - 128) * contrast / 100 + 128 + bright);
        clut[i] = inv ? 128 : clamp8((i - 128) * sat / 100 + 128);
    }
    int stripe = (int)((seq * 8u) % (unsigned)w);
    int block = w / 16, bh = h / 12;
    for (int y = 0; y < h; y++) {
        uint8_t *row = dst + (size_t)y * w * 2;
        for (int x = 0; x < w; x += 2) {
            const uint8_t *bar = BARS[(x * 8) / w];
            uint8_t y0 = bar[0], y1 = bar[0], u = bar[1], v = bar[2];
            if (y < bh && block > 0) {
                int bitn = x / block;
                if (bitn < 16) {
                    y0 = y1 = ((seq >> (15 - bitn)) & 1) ? 235 : 16;
                    u = v = 128;
                }
            } else if (x >= stripe && x < stripe + 8) {
                y0 = y1 = 235; u = v = 128;
            }
            row[2 * x + 0] = ylut[y0];
            row[2 * x + 1] = clut[u];
            row[2 * x + 2] = ylut[y1];
            row[2 * x + 3] = clut[v];
        }
    }
}

/* ----------------------------------------------------------- the writer -- */

static void on_sigusr1(int sig) { (void)sig; }

static void ts_add_100ns(struct timespec *t, uint32_t units)
{
    uint64_t ns = (uint64_t)units * 100;
    t->tv_sec += (time_t)(ns / 1000000000u);
    t->tv_nsec += (long)(ns % 1000000000u);
    if (t->tv_nsec >= 1000000000L) { t->tv_sec++; t->tv_nsec -= 1000000000L; }
}

/* Packs one frame into UVC payloads of at most `psz` bytes, each starting with
 * a 2-byte header.  Returns the total length.  A payload shorter than psz must
 * not be a multiple of the max packet size, or the host URB would not end
 * with it (no ZLP is sent); such a payload borrows a byte from the one before. */
static size_t pack_frame(uint8_t *out, const uint8_t *img, size_t img_len, uint32_t psz, unsigned mps, int fid)
{
    size_t data_per = psz - 2;
    size_t n = (img_len + data_per - 1) / data_per;
    size_t last = img_len - (n - 1) * data_per;      /* data bytes in the last payload */
    size_t borrow = 0;
    if (((last + 2) % mps) == 0 && last + 2 != psz && n > 1)
        borrow = 1;
    size_t o = 0, i = 0;
    for (size_t k = 0; k < n; k++) {
        size_t chunk = data_per;
        if (k == n - 2) chunk -= borrow;
        if (k == n - 1) chunk = img_len - i;
        out[o++] = 2;
        out[o++] = (uint8_t)(UVC_STREAM_EOH | (fid ? UVC_STREAM_FID : 0) | (k == n - 1 ? UVC_STREAM_EOF : 0));
        memcpy(out + o, img + i, chunk);
        o += chunk; i += chunk;
    }
    return o;
}

static void *writer_main(void *arg)
{
    (void)arg;
    uint8_t *img = NULL, *pkt = NULL;
    size_t img_cap = 0, pkt_cap = 0;
    uint32_t seq = 0;
    int fid = 0;

    for (;;) {
        pthread_mutex_lock(&g_lock);
        g_writer_idle = 1;
        pthread_cond_broadcast(&g_cv);
        while (!(g_streaming && g_ep_fd >= 0 && (unsigned)g_writer_gen_seen != g_gen))
            pthread_cond_wait(&g_cv, &g_lock);
        unsigned gen = g_gen;
        g_writer_gen_seen = (int)gen;
        struct probe p = g_commit;
        int fd = g_ep_fd;
        g_writer_idle = 0;
        pthread_mutex_unlock(&g_lock);

        const struct frame_spec *f = &g_frames[p.bFrameIndex - 1];
        size_t ilen = frame_bytes(f);
        uint32_t psz = p.dwMaxPayloadTransferSize;
        size_t plen_max = ilen + 2 * ((ilen + psz - 3) / (psz - 2)) + 2;
        if (img_cap < ilen) { free(img); img = malloc(ilen); img_cap = ilen; }
        if (pkt_cap < plen_max) { free(pkt); pkt = malloc(plen_max); pkt_cap = plen_max; }
        if (!img || !pkt) { logmsg("out of memory"); exit(1); }
        logmsg("stream start: %ux%u YUYV, interval %u00 ns (%.2f fps), payload %u",
               f->w, f->h, p.dwFrameInterval, 1e7 / p.dwFrameInterval, psz);
        struct timespec next;
        clock_gettime(CLOCK_MONOTONIC, &next);
        uint32_t sent = 0;
        int stop_reason = 0;  /* 1 newer generation, 2 stall timeout, 3 I/O error */
        while (!stop_reason) {
            render_yuyv(img, f->w, f->h, seq);
            size_t len = pack_frame(pkt, img, ilen, psz, max_packet(), fid);
            /* Hand the frame over in chunks of whole payloads (gadgetfs
             * kmallocs each write). */
            size_t chunk_max = (size_t)psz * 16, off = 0;
            while (off < len && !stop_reason) {
                if ((unsigned)g_writer_gen_seen != g_gen) { stop_reason = 1; break; }
                size_t n = len - off < chunk_max ? len - off : chunk_max;
                g_writer_io_start = now_s();
                g_writer_in_io = 1;
                ssize_t r = write(fd, pkt + off, n);
                int e = errno;
                g_writer_in_io = 0;
                if (r < 0) {
                    if (e == EINTR) {
                        /* the request was dequeued (maybe partly sent): only
                         * a newer generation or the stall watchdog signal us */
                        stop_reason = (unsigned)g_writer_gen_seen != g_gen ? 1 : 2;
                        break;
                    }
                    logmsg("bulk write failed: %s", strerror(e));
                    stop_reason = 3;
                    break;
                }
                off += (size_t)r;
            }
            if (stop_reason)
                break;
            sent++; seq++; fid ^= 1;
            if (sent == 1 || sent % 100 == 0)
                vlog("sent frame %u (%zu bytes in payloads)", sent, len);
            ts_add_100ns(&next, p.dwFrameInterval);
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            if (now.tv_sec > next.tv_sec + 1) next = now; /* fell far behind: resync */
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL) == EINTR)
                if ((unsigned)g_writer_gen_seen != g_gen) break;
        }
        /* a partly sent frame leaves the host mid-frame: toggle FID so the
         * next frame is seen as a new one */
        fid ^= 1;
        logmsg("stream stop after %u frames (%s)", sent,
               stop_reason == 1 ? "new commit / stop request"
               : stop_reason == 2 ? "host stopped reading" : "I/O error");
        if (stop_reason == 2 || stop_reason == 3) {
            pthread_mutex_lock(&g_lock);
            if (gen == g_gen)
                g_streaming = 0; /* wait for the next COMMIT */
            pthread_mutex_unlock(&g_lock);
        }
    }
    return NULL;
}

/* Interrupts a write that is stuck (host stopped streaming) or stale (newer
 * generation).  Runs every 50 ms. */
static void *watchdog_main(void *arg)
{
    (void)arg;
    for (;;) {
        usleep(50000);
        if (!g_writer_in_io)
            continue;
        if ((unsigned)g_writer_gen_seen != g_gen ||
            now_s() - g_writer_io_start >= g_stall_timeout_ms / 1000.0)
            pthread_kill(g_writer, SIGUSR1);
    }
    return NULL;
}

/* -------------------------------------------------------------- ep0 i/o -- */

static void ep0_reply(const void *data, size_t len, uint16_t wLength)
{
    if (len > wLength) len = wLength;
    if (write(g_ep0_fd, data, len) < 0)
        logmsg("ep0 reply failed: %s", strerror(errno));
}

static void ep0_ack(void)
{
    char c;
    if (read(g_ep0_fd, &c, 0) < 0)
        logmsg("ep0 ack failed: %s", strerror(errno));
}

/* STALL: for IN requests a read() does it, for OUT requests a write(). */
static void ep0_stall(const struct usb_ctrlrequest *c)
{
    char buf[8];
    ssize_t r = (c->bRequestType & USB_DIR_IN) ? read(g_ep0_fd, buf, sizeof buf) : write(g_ep0_fd, buf, 0);
    if (r < 0 && errno != EL2HLT)
        logmsg("ep0 stall failed: %s", strerror(errno));
}

/* gadgetfs acks an OUT data stage by itself and dummy_hcd then completes the
 * host's transfer, so the host may send its next request at once. A SETUP
 * that arrives before the data is read aborts it (EIDRM) and the value is
 * lost. The event loop therefore collects the data right after the event,
 * before anything else, and the handlers take it from here. */
static uint8_t g_out_data[256];
static ssize_t g_out_len;
static int g_out_errno;

static void ep0_collect_out_data(const struct usb_ctrlrequest *c)
{
    uint16_t wLength = le16toh(c->wLength);
    g_out_len = 0;
    if ((c->bRequestType & USB_DIR_IN) || !wLength) return;
    g_out_len = read(g_ep0_fd, g_out_data, wLength < sizeof g_out_data ? wLength : sizeof g_out_data);
    g_out_errno = errno;
}

static ssize_t ep0_read_data(uint8_t *buf, size_t len)
{
    if (g_out_len < 0) {
        logmsg("ep0 data read failed: %s", strerror(g_out_errno));
        return -1;
    }
    size_t n = (size_t)g_out_len < len ? (size_t)g_out_len : len;
    memcpy(buf, g_out_data, n);
    return (ssize_t)n;
}

static void reply_string(unsigned index, uint16_t wLength)
{
    uint8_t d[128];
    const char *s = index == 1 ? g_manufacturer : index == 2 ? g_product : index == 3 ? "0001" : NULL;
    if (index == 0) {
        d[0] = 4; d[1] = USB_DT_STRING; d[2] = 0x09; d[3] = 0x04;
        ep0_reply(d, 4, wLength);
        return;
    }
    if (!s) { struct usb_ctrlrequest c = {.bRequestType = USB_DIR_IN}; ep0_stall(&c); return; }
    size_t n = strlen(s);
    if (n > 62) n = 62;
    d[0] = (uint8_t)(2 + 2 * n); d[1] = USB_DT_STRING;
    for (size_t i = 0; i < n; i++) { d[2 + 2 * i] = (uint8_t)s[i]; d[3 + 2 * i] = 0; }
    ep0_reply(d, 2 + 2 * n, wLength);
}

static int configure_endpoint(void)
{
    char path[256];
    snprintf(path, sizeof path, "%s/ep1in-bulk", g_gadget_dir);
    int fd = open(path, O_RDWR);
    if (fd < 0) { logmsg("open %s: %s", path, strerror(errno)); return -1; }
    uint8_t d[4 + 2 * USB_DT_ENDPOINT_SIZE];
    uint32_t tag = 1;
    memcpy(d, &tag, 4);
    uint8_t *e = d + 4;
    for (int hs = 0; hs < 2; hs++, e += USB_DT_ENDPOINT_SIZE) {
        e[0] = USB_DT_ENDPOINT_SIZE; e[1] = USB_DT_ENDPOINT; e[2] = EP_IN_ADDR;
        e[3] = USB_ENDPOINT_XFER_BULK; put_field(e + 4, 2, hs ? 512 : 64); e[6] = 0;
    }
    if (write(fd, d, sizeof d) != (ssize_t)sizeof d) {
        logmsg("configure %s: %s", path, strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

static void drop_endpoint_locked(void)
{
    if (g_ep_fd < 0) return;
    stop_writer_locked();
    close(g_ep_fd);
    g_ep_fd = -1;
}

static const char *req_name(uint8_t r)
{
    switch (r) {
    case UVC_SET_CUR: return "SET_CUR"; case UVC_GET_CUR: return "GET_CUR";
    case UVC_GET_MIN: return "GET_MIN"; case UVC_GET_MAX: return "GET_MAX";
    case UVC_GET_RES: return "GET_RES"; case UVC_GET_LEN: return "GET_LEN";
    case UVC_GET_INFO: return "GET_INFO"; case UVC_GET_DEF: return "GET_DEF";
    default: return "?";
    }
}

/* VideoStreaming interface requests: probe and commit. */
static void vs_request(const struct usb_ctrlrequest *c, uint8_t cs, uint16_t wLength)
{
    uint8_t d[PROBE_SIZE];
    int in = c->bRequestType & USB_DIR_IN;
    if (cs == UVC_VS_STREAM_ERROR_CODE_CONTROL && in && (c->bRequest == UVC_GET_CUR || c->bRequest == UVC_GET_INFO)) {
        d[0] = c->bRequest == UVC_GET_INFO ? 0x01 : 0x00;
        ep0_reply(d, 1, wLength);
        return;
    }
    if (cs != UVC_VS_PROBE_CONTROL && cs != UVC_VS_COMMIT_CONTROL) {
        g_last_error = 0x06;
        if (in) ep0_stall(c); else { uint8_t tmp[64]; if (wLength) ep0_read_data(tmp, sizeof tmp); else ep0_stall(c); }
        return;
    }
    int probe = cs == UVC_VS_PROBE_CONTROL;
    struct probe p;
    switch (c->bRequest) {
    case UVC_SET_CUR: {
        uint8_t buf[64];
        ssize_t n = ep0_read_data(buf, wLength < sizeof buf ? wLength : sizeof buf);
        if (n < 0) return;
        probe_unpack(buf, (size_t)n, &p);
        struct probe asked = p;
        probe_fixup(&p);
        pthread_mutex_lock(&g_lock);
        if (probe) {
            g_probe = p;
        } else {
            g_commit = p;
            g_probe = p;
            g_streaming = 1;
            kick_writer_locked();
        }
        pthread_mutex_unlock(&g_lock);
        logmsg("%s SET_CUR: format %u frame %u interval %u -> frame %u (%ux%u) interval %u",
               probe ? "PROBE" : "COMMIT", asked.bFormatIndex, asked.bFrameIndex, asked.dwFrameInterval,
               p.bFrameIndex, g_frames[p.bFrameIndex - 1].w, g_frames[p.bFrameIndex - 1].h, p.dwFrameInterval);
        g_last_error = 0;
        return;
    }
    case UVC_GET_CUR:
        pthread_mutex_lock(&g_lock);
        p = probe ? g_probe : g_commit;
        pthread_mutex_unlock(&g_lock);
        break;
    case UVC_GET_DEF: case UVC_GET_MIN: case UVC_GET_MAX:
        if (!probe) goto bad_request;
        probe_default(&p, c->bRequest == UVC_GET_DEF ? 0 : c->bRequest == UVC_GET_MIN ? 1 : 2);
        break;
    case UVC_GET_LEN:
        d[0] = PROBE_SIZE; d[1] = 0;
        ep0_reply(d, 2, wLength);
        g_last_error = 0;
        return;
    case UVC_GET_INFO:
        d[0] = 0x03;
        ep0_reply(d, 1, wLength);
        g_last_error = 0;
        return;
    default:
        goto bad_request;
    }
    probe_pack(&p, d);
    ep0_reply(d, PROBE_SIZE, wLength);
    g_last_error = 0;
    return;
bad_request:
    g_last_error = 0x07;
    if (in) ep0_stall(c); else { uint8_t tmp[64]; if (wLength) ep0_read_data(tmp, sizeof tmp); else ep0_stall(c); }
}

static void format_value(const struct control *c, char *out, size_t cap)
{
    if (c->nfields == 2)
        snprintf(out, cap, "%d,%d", c->cur[0], c->cur[1]);
    else
        snprintf(out, cap, "%d", c->cur[0]);
}

/* VideoControl interface requests: unit/terminal controls + error code. */
static void vc_request(const struct usb_ctrlrequest *c, uint8_t entity, uint8_t cs, uint16_t wLength)
{
    int in = c->bRequestType & USB_DIR_IN;
    uint8_t d[16] = {0};
    if (entity == 0) {
        if (cs == UVC_VC_REQUEST_ERROR_CODE_CONTROL && in &&
            (c->bRequest == UVC_GET_CUR || c->bRequest == UVC_GET_INFO)) {
            d[0] = c->bRequest == UVC_GET_INFO ? 0x01 : g_last_error;
            ep0_reply(d, 1, wLength);
            return; /* reading the error code does not change it */
        }
        g_last_error = 0x06;
        goto stall;
    }
    if (entity != UNIT_CT && entity != UNIT_PU) {
        g_last_error = 0x05;
        goto stall;
    }
    pthread_mutex_lock(&g_lock);
    struct control *ctl = find_ctrl(entity, cs);
    if (!ctl) {
        pthread_mutex_unlock(&g_lock);
        vlog("%s on unit %u selector 0x%02x: no such control -> STALL", req_name(c->bRequest), entity, cs);
        g_last_error = 0x06;
        goto stall;
    }
    int fbytes = ctl->size / ctl->nfields;
    if (c->bRequest == UVC_SET_CUR) {
        uint8_t buf[64];
        pthread_mutex_unlock(&g_lock);
        ssize_t n = wLength ? ep0_read_data(buf, wLength < sizeof buf ? wLength : sizeof buf) : 0;
        if (n < 0) return;
        pthread_mutex_lock(&g_lock);
        if (n != ctl->size) {
            logmsg("SET %s: wrong length %zd (want %u), ignored", ctl->name, n, ctl->size);
            g_last_error = 0x08;
        } else {
            int32_t v[2] = {0, 0};
            int ok = 1;
            for (int k = 0; k < ctl->nfields; k++) {
                v[k] = get_field(buf + k * fbytes, fbytes, ctl->is_signed);
                if (ctl->selector == UVC_CT_AE_MODE_CONTROL && ctl->unit == UNIT_CT) {
                    if (!(v[k] & ctl->res) || (v[k] & (v[k] - 1))) ok = 0;
                } else if (v[k] < ctl->min || v[k] > ctl->max) {
                    ok = 0;
                }
            }
            if (!ok) {
                /* can't STALL after the data stage with gadgetfs: keep the old value */
                logmsg("SET %s = %d: out of range, ignored", ctl->name, v[0]);
                g_last_error = 0x04;
            } else {
                ctl->cur[0] = v[0]; ctl->cur[1] = v[1];
                char val[32];
                format_value(ctl, val, sizeof val);
                logmsg("SET %s = %s%s", ctl->name, val, is_auto(ctl) ? " (while in auto mode)" : "");
                g_last_error = 0;
            }
        }
        pthread_mutex_unlock(&g_lock);
        return;
    }
    unsigned bitreq = c->bRequest == UVC_GET_CUR ? RQ_CUR : c->bRequest == UVC_GET_MIN ? RQ_MIN
                    : c->bRequest == UVC_GET_MAX ? RQ_MAX : c->bRequest == UVC_GET_RES ? RQ_RES
                    : c->bRequest == UVC_GET_DEF ? RQ_DEF : c->bRequest == UVC_GET_INFO ? RQ_INFO
                    : c->bRequest == UVC_GET_LEN ? RQ_LEN : 0;
    if (!in || !(ctl->reqs & bitreq)) {
        pthread_mutex_unlock(&g_lock);
        vlog("%s %s: unsupported request -> STALL", req_name(c->bRequest), ctl->name);
        g_last_error = 0x07;
        goto stall;
    }
    if (g_fail_range[ctl - g_ctrls] && (bitreq & (RQ_MIN | RQ_MAX | RQ_RES | RQ_DEF))) {
        pthread_mutex_unlock(&g_lock);
        vlog("%s %s: --fail-range -> STALL", req_name(c->bRequest), ctl->name);
        g_last_error = 0x07;
        goto stall;
    }
    size_t len = ctl->size;
    switch (c->bRequest) {
    case UVC_GET_CUR: for (int k = 0; k < ctl->nfields; k++) put_field(d + k * fbytes, fbytes, ctl->cur[k]); break;
    case UVC_GET_MIN: for (int k = 0; k < ctl->nfields; k++) put_field(d + k * fbytes, fbytes, ctl->min); break;
    case UVC_GET_MAX: for (int k = 0; k < ctl->nfields; k++) put_field(d + k * fbytes, fbytes, ctl->max); break;
    case UVC_GET_RES: for (int k = 0; k < ctl->nfields; k++) put_field(d + k * fbytes, fbytes, ctl->res); break;
    case UVC_GET_DEF: for (int k = 0; k < ctl->nfields; k++) put_field(d + k * fbytes, fbytes, ctl->def); break;
    case UVC_GET_INFO:
        d[0] = 0x03 | (is_auto(ctl) ? 0x04 : 0);
        len = 1;
        break;
    case UVC_GET_LEN:
        put_field(d, 2, ctl->size);
        len = 2;
        break;
    }
    pthread_mutex_unlock(&g_lock);
    vlog("%s %s -> %zu bytes", req_name(c->bRequest), ctl->name, len);
    ep0_reply(d, len, wLength);
    g_last_error = 0;
    return;
stall:
    if (!in && wLength) {
        uint8_t tmp[64];
        ep0_read_data(tmp, sizeof tmp); /* data stage already acked: can only swallow it */
        return;
    }
    ep0_stall(c);
}

static void handle_setup(const struct usb_ctrlrequest *c)
{
    uint16_t wValue = le16toh(c->wValue), wIndex = le16toh(c->wIndex), wLength = le16toh(c->wLength);
    uint8_t type = c->bRequestType & USB_TYPE_MASK, recip = c->bRequestType & USB_RECIP_MASK;
    vlog("SETUP %02x %02x value %04x index %04x length %u", c->bRequestType, c->bRequest, wValue, wIndex, wLength);

    if (type == USB_TYPE_STANDARD) {
        switch (c->bRequest) {
        case USB_REQ_GET_DESCRIPTOR:
            if ((wValue >> 8) == USB_DT_STRING) { reply_string(wValue & 0xff, wLength); return; }
            break;
        case USB_REQ_SET_CONFIGURATION:
            pthread_mutex_lock(&g_lock);
            drop_endpoint_locked();
            if (wValue == 1) {
                g_ep_fd = configure_endpoint();
                logmsg("configured (endpoint %s)", g_ep_fd >= 0 ? "ready" : "FAILED");
            } else {
                logmsg("unconfigured");
            }
            pthread_mutex_unlock(&g_lock);
            ep0_ack();
            return;
        case USB_REQ_GET_INTERFACE: {
            uint8_t alt = 0;
            ep0_reply(&alt, 1, wLength);
            return;
        }
        case USB_REQ_SET_INTERFACE:
            if (recip == USB_RECIP_INTERFACE && wValue == 0 && wIndex <= 1) {
                if (wIndex == 1) {
                    pthread_mutex_lock(&g_lock);
                    if (g_streaming) { g_streaming = 0; kick_writer_locked(); }
                    pthread_mutex_unlock(&g_lock);
                }
                ep0_ack();
                return;
            }
            break;
        }
        vlog("standard request %02x not handled -> STALL", c->bRequest);
        if (!(c->bRequestType & USB_DIR_IN) && wLength) { uint8_t tmp[256]; ep0_read_data(tmp, sizeof tmp); return; }
        ep0_stall(c);
        return;
    }
    if (type == USB_TYPE_CLASS && recip == USB_RECIP_INTERFACE) {
        uint8_t intf = wIndex & 0xff, entity = wIndex >> 8, cs = wValue >> 8;
        if (intf == 0) { vc_request(c, entity, cs, wLength); return; }
        if (intf == 1 && entity == 0) { vs_request(c, cs, wLength); return; }
    }
    vlog("request type %02x not handled -> STALL", c->bRequestType);
    if (!(c->bRequestType & USB_DIR_IN) && wLength) { uint8_t tmp[256]; ep0_read_data(tmp, sizeof tmp); return; }
    ep0_stall(c);
}

/* ------------------------------------------------------------------ main -- */

static int parse_frame(const char *s)
{
    /* WxH@fps[,fps...] */
    if (g_nframes >= MAX_FRAMES) return -1;
    struct frame_spec f = {0};
    unsigned w, h;
    int pos = 0;
    if (sscanf(s, "%ux%u@%n", &w, &h, &pos) != 2 || pos == 0) return -1;
    if (w < 2 || h < 1 || w > 4096 || h > 4096 || (w & 1)) return -1;
    f.w = (uint16_t)w; f.h = (uint16_t)h;
    const char *p = s + pos;
    while (*p && f.nint < MAX_INTERVALS) {
        char *end;
        double fps = strtod(p, &end);
        if (end == p || fps <= 0 || fps > 1000) return -1;
        f.interval[f.nint++] = (uint32_t)(1e7 / fps + 0.5);
        p = *end == ',' ? end + 1 : end;
        if (*end && *end != ',') return -1;
    }
    if (!f.nint) return -1;
    /* fastest first (UVC wants ascending intervals for discrete lists) */
    for (int i = 0; i < f.nint; i++)
        for (int j = i + 1; j < f.nint; j++)
            if (f.interval[j] < f.interval[i]) { uint32_t t = f.interval[i]; f.interval[i] = f.interval[j]; f.interval[j] = t; }
    g_frames[g_nframes++] = f;
    return 0;
}

static void usage(FILE *o)
{
    fprintf(o,
        "usage: uvc-camera [options]\n"
        "Emulated UVC 1.1 webcam (bulk streaming, YUYV) on gadgetfs + dummy_hcd.\n"
        "  --gadgetfs DIR       gadgetfs mount point (default /dev/gadget)\n"
        "  --frame WxH@FPS[,FPS..]  a frame size (repeatable; default\n"
        "                       640x480@30,15 320x240@30,15 1280x720@10)\n"
        "  --ct-controls MASK   Camera Terminal bmControls (default 0x%05x)\n"
        "  --pu-controls MASK   Processing Unit bmControls (default 0x%04x)\n"
        "  --ae-modes MASK      auto-exposure modes offered, UVC bits: 1 manual,\n"
        "                       2 auto, 4 shutter prio, 8 aperture prio (default 0x09)\n"
        "  --range NAME=MIN:MAX:RES:DEF  a control's range, step and default (repeatable)\n"
        "  --set NAME=V[,V2]    initial current value of a control (repeatable)\n"
        "  --fail-range NAME    stall the control's GET_MIN/MAX/RES/DEF (repeatable)\n"
        "  --product STR        product string = V4L2 card name (default '%s')\n"
        "  --vid-pid VVVV:PPPP  USB ids (default 1d6b:0102)\n"
        "  --stall-timeout MS   bulk write with no progress = host stopped (3000)\n"
        "  --no-effects         picture ignores brightness/contrast/saturation\n"
        "  --log FILE           also append the log to FILE\n"
        "  --list-controls      print the control table and exit\n"
        "  --print-descriptors  print the HS configuration descriptor (hex) and exit\n"
        "  -v, --verbose        log every control request\n",
        g_ct_mask, g_pu_mask, g_product);
}

static void list_controls(void)
{
    printf("%-32s %-4s %-4s %-4s %-4s %8s %8s %6s %8s %s\n", "name", "unit", "sel", "bit", "size",
           "min", "max", "res", "def", "advertised");
    for (int i = 0; i < NCTRLS; i++) {
        const struct control *c = &g_ctrls[i];
        printf("%-32s %-4s 0x%02x %-4u %-4u %8d %8d %6d %8d %s\n", c->name, c->unit == UNIT_CT ? "CT" : "PU",
               c->selector, c->bit, c->size, c->min, c->max, c->res, c->def, advertised(c) ? "yes" : "no");
    }
}

int main(int argc, char **argv)
{
    static const struct option opts[] = {
        {"gadgetfs", required_argument, 0, 'g'}, {"frame", required_argument, 0, 'f'},
        {"ct-controls", required_argument, 0, 'c'}, {"pu-controls", required_argument, 0, 'p'},
        {"ae-modes", required_argument, 0, 'a'}, {"set", required_argument, 0, 's'},
        {"product", required_argument, 0, 'P'}, {"vid-pid", required_argument, 0, 'V'},
        {"stall-timeout", required_argument, 0, 'T'}, {"no-effects", no_argument, 0, 'E'},
        {"log", required_argument, 0, 'l'}, {"list-controls", no_argument, 0, 'L'},
        {"print-descriptors", no_argument, 0, 'D'}, {"verbose", no_argument, 0, 'v'},
        {"range", required_argument, 0, 'R'}, {"help", no_argument, 0, 'h'},
        {"fail-range", required_argument, 0, 'F'}, {0, 0, 0, 0},
    };
    const char *sets[32], *ranges[32], *failing[32];
    int nranges = 0, nsets = 0, nfailing = 0, list = 0, dump = 0, o;
    while ((o = getopt_long(argc, argv, "vh", opts, NULL)) != -1) {
        switch (o) {
        case 'g': g_gadget_dir = optarg; break;
        case 'f': if (parse_frame(optarg)) { fprintf(stderr, "bad --frame %s\n", optarg); return 2; } break;
        case 'c': g_ct_mask = (uint32_t)strtoul(optarg, NULL, 0); break;
        case 'p': g_pu_mask = (uint32_t)strtoul(optarg, NULL, 0); break;
        case 'a': g_ae_modes = (uint8_t)strtoul(optarg, NULL, 0); break;
        case 's': if (nsets < 32) sets[nsets++] = optarg; break;
        case 'R': if (nranges < 32) ranges[nranges++] = optarg; break;
        case 'F': if (nfailing < 32) failing[nfailing++] = optarg; break;
        case 'P': g_product = optarg; break;
        case 'V': {
            unsigned v, p;
            if (sscanf(optarg, "%x:%x", &v, &p) != 2) { fprintf(stderr, "bad --vid-pid\n"); return 2; }
            g_vid = (uint16_t)v; g_pid = (uint16_t)p;
            break;
        }
        case 'T': g_stall_timeout_ms = atoi(optarg); break;
        case 'E': g_pattern_effects = 0; break;
        case 'l': g_logf = fopen(optarg, "a"); break;
        case 'L': list = 1; break;
        case 'D': dump = 1; break;
        case 'v': g_verbose = 1; break;
        case 'h': usage(stdout); return 0;
        default: usage(stderr); return 2;
        }
    }
    if (!g_nframes) {
        parse_frame("640x480@30,15");
        parse_frame("320x240@30,15");
        parse_frame("1280x720@10");
    }
    if (!g_ae_modes) { fprintf(stderr, "--ae-modes must offer at least one mode\n"); return 2; }
    /* every advertised bit needs a table entry */
    for (int unit = UNIT_CT; unit <= UNIT_PU; unit++) {
        uint32_t mask = unit == UNIT_CT ? g_ct_mask : g_pu_mask;
        for (int bit = 0; bit < 24; bit++) {
            if (!((mask >> bit) & 1)) continue;
            int found = 0;
            for (int i = 0; i < NCTRLS; i++)
                if (g_ctrls[i].unit == unit && g_ctrls[i].bit == bit) found = 1;
            if (!found) {
                fprintf(stderr, "%s bmControls bit %d: control not implemented\n", unit == UNIT_CT ? "CT" : "PU", bit);
                return 2;
            }
        }
    }
    init_controls();
    /* Ranges first, so that the current values start at the new defaults
     * and a --set still wins. */
    for (int i = 0; i < nranges; i++) {
        char name[64];
        const char *eq = strchr(ranges[i], '=');
        if (!eq || (size_t)(eq - ranges[i]) >= sizeof name) { fprintf(stderr, "bad --range %s\n", ranges[i]); return 2; }
        memcpy(name, ranges[i], (size_t)(eq - ranges[i])); name[eq - ranges[i]] = 0;
        int k = find_ctrl_by_name(name);
        if (k < 0) { fprintf(stderr, "--range: unknown control %s\n", name); return 2; }
        struct control *c = &g_ctrls[k];
        if (c->selector == UVC_CT_AE_MODE_CONTROL && c->unit == UNIT_CT) {
            fprintf(stderr, "--range: auto_exposure_mode takes --ae-modes\n"); return 2;
        }
        int32_t mn, mx, res, def;
        if (sscanf(eq + 1, "%d:%d:%d:%d", &mn, &mx, &res, &def) != 4 || mn > mx || res <= 0 || def < mn || def > mx) {
            fprintf(stderr, "bad --range %s (want NAME=MIN:MAX:RES:DEF, MIN <= DEF <= MAX, RES > 0)\n", ranges[i]);
            return 2;
        }
        int fbytes = c->size / c->nfields;
        int64_t lo = c->is_signed ? -(INT64_C(1) << (8 * fbytes - 1)) : 0;
        int64_t hi = c->is_signed ? (INT64_C(1) << (8 * fbytes - 1)) - 1 : (INT64_C(1) << (8 * fbytes)) - 1;
        if (fbytes < 4 && (mn < lo || mx > hi)) {
            fprintf(stderr, "--range %s: does not fit the control's %d-byte field\n", ranges[i], fbytes); return 2;
        }
        c->min = mn; c->max = mx; c->res = res; c->def = def;
        c->cur[0] = c->cur[1] = def;
    }
    for (int i = 0; i < nfailing; i++) {
        int k = find_ctrl_by_name(failing[i]);
        if (k < 0) { fprintf(stderr, "--fail-range: unknown control %s\n", failing[i]); return 2; }
        g_fail_range[k] = 1;
    }
    for (int i = 0; i < nsets; i++) {
        char name[64];
        const char *eq = strchr(sets[i], '=');
        if (!eq || (size_t)(eq - sets[i]) >= sizeof name) { fprintf(stderr, "bad --set %s\n", sets[i]); return 2; }
        memcpy(name, sets[i], (size_t)(eq - sets[i])); name[eq - sets[i]] = 0;
        int k = find_ctrl_by_name(name);
        if (k < 0) { fprintf(stderr, "--set: unknown control %s\n", name); return 2; }
        int32_t a = 0, b2 = 0;
        int n = sscanf(eq + 1, "%d,%d", &a, &b2);
        if (n < 1) { fprintf(stderr, "bad --set %s\n", sets[i]); return 2; }
        g_ctrls[k].cur[0] = a; g_ctrls[k].cur[1] = n == 2 ? b2 : a;
    }
    if (list) { list_controls(); return 0; }

    struct buf fs, hs, dev;
    build_config(&fs, 0);
    build_config(&hs, 1);
    build_device(&dev);
    if (dump) {
        for (size_t i = 0; i < hs.n; i++) printf("%02x%s", hs.d[i], (i % 16 == 15 || i + 1 == hs.n) ? "\n" : " ");
        return 0;
    }
    if (hs.n > CONFIG_LIMIT) {
        fprintf(stderr, "configuration descriptor is %zu bytes; gadgetfs serves at most %d: use fewer --frame "
                "sizes or frame rates\n", hs.n, CONFIG_LIMIT);
        return 2;
    }
    probe_default(&g_probe, 0);
    g_commit = g_probe;

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_sigusr1; /* no SA_RESTART: interrupts a blocked write() */
    sigaction(SIGUSR1, &sa, NULL);
    signal(SIGPIPE, SIG_IGN);

    char path[256];
    snprintf(path, sizeof path, "%s/dummy_udc", g_gadget_dir);
    g_ep0_fd = open(path, O_RDWR);
    if (g_ep0_fd < 0) { logmsg("open %s: %s", path, strerror(errno)); return 1; }
    uint8_t blob[4 + 2 * 1024 + USB_DT_DEVICE_SIZE];
    size_t n = 0;
    uint32_t tag = 0;
    memcpy(blob, &tag, 4); n = 4;
    memcpy(blob + n, fs.d, fs.n); n += fs.n;
    memcpy(blob + n, hs.d, hs.n); n += hs.n;
    memcpy(blob + n, dev.d, dev.n); n += dev.n;
    /* The frame writer and the watchdog run at normal priority; the ep0 loop
     * below runs real-time so it reads each request before the host (a
     * normal-priority kernel thread on the VM's one processor) can send the
     * next one. */
    pthread_attr_t normal;
    pthread_attr_init(&normal);
    pthread_attr_setinheritsched(&normal, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&normal, SCHED_OTHER);
    struct sched_param none = {.sched_priority = 0};
    pthread_attr_setschedparam(&normal, &none);
    pthread_create(&g_writer, &normal, writer_main, NULL);
    pthread_t wd;
    pthread_create(&wd, &normal, watchdog_main, NULL);
    pthread_attr_destroy(&normal);
    struct sched_param rt = {.sched_priority = 50};
    if (sched_setscheduler(0, SCHED_FIFO, &rt) != 0)
        logmsg("real-time priority refused (%s): control requests may be lost", strerror(errno));
    /* Writing the descriptors binds gadgetfs to the UDC and the host starts
     * enumerating; the loop below must be reading ep0 before the host sends
     * SET_CONFIGURATION (the port reset alone takes tens of ms). */
    if (write(g_ep0_fd, blob, n) != (ssize_t)n) { logmsg("writing descriptors: %s", strerror(errno)); return 1; }
    logmsg("descriptors written (config %zu bytes, %d frame sizes, CT 0x%05x, PU 0x%04x); waiting for host",
           hs.n, g_nframes, g_ct_mask, g_pu_mask);

    for (;;) {
        struct usb_gadgetfs_event ev[5];
        ssize_t r = read(g_ep0_fd, ev, sizeof ev);
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            if (errno == EIDRM) continue; /* a SETUP was aborted by a newer one */
            logmsg("ep0 read: %s", strerror(errno));
            if (errno == ESHUTDOWN || errno == ENODEV) return 1;
            usleep(10000);
            continue;
        }
        for (size_t i = 0; i < (size_t)r / sizeof ev[0]; i++) {
            switch (ev[i].type) {
            case GADGETFS_CONNECT:
                g_high_speed = ev[i].u.speed == USB_SPEED_HIGH;
                logmsg("connected (%s speed)", g_high_speed ? "high" : "full");
                break;
            case GADGETFS_DISCONNECT:
                logmsg("disconnected");
                pthread_mutex_lock(&g_lock);
                drop_endpoint_locked();
                pthread_mutex_unlock(&g_lock);
                break;
            case GADGETFS_SUSPEND:
                vlog("suspended");
                break;
            case GADGETFS_SETUP:
                ep0_collect_out_data(&ev[i].u.setup);
                handle_setup(&ev[i].u.setup);
                break;
            default:
                break;
            }
        }
    }
}

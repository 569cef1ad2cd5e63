#!/usr/bin/env python3
"""Generate the detailed timing presets of the EDID library's Quick Config menu.

Writes edid/vesa/presets/{vesa,cea}_{cts,sink}.inc: one C++ initialiser line per
preset, {"name", {18 bytes of a detailed timing descriptor}}.

Each row is computed from the mode's timing:
  * VESA rows from the VESA Display Monitor Timing (DMT) values; rows named
    "CVT RB" from the CVT reduced-blanking formula (VESA CVT 1.1),
  * CEA rows from the CTA-861 video formats,
under these conventions: pixel clock truncated to 10 kHz, image size 0,
borders 0 (except the DMT 640x480 rows with their 8-pixel / 8-line borders),
digital separate sync with the mode's polarities, and for interlaced modes
the vertical values of one field (blanking rounded down).

A few rows are kept byte for byte as the tables have always held them, even where
they break these conventions (FIXED_ROWS below). Computed rows whose bytes are
known (CHECKED_ROWS) are compared with them, so a wrong timing value or
formula stops the script.

Usage: gen_timing_presets.py [--check] [output-folder]
  --check  compare the generated text with the files in the folder instead of
           writing them; exit status 1 when they differ.
"""

import math
import os
import sys

# --------------------------------------------------------------------------
# Timing model

POS, NEG = True, False


class Timing:
    """One video timing: clock in kHz, horizontal and vertical geometry."""

    def __init__(self, khz, ha, hfp, hs, hbp, va, vfp, vs, vbp, hpol, vpol,
                 interlaced=False, hborder=0, vborder=0):
        self.khz = khz
        self.ha, self.hfp, self.hs, self.hbp = ha, hfp, hs, hbp
        self.va, self.vfp, self.vs, self.vbp = va, vfp, vs, vbp
        self.hpol, self.vpol = hpol, vpol
        self.interlaced = interlaced
        self.hborder, self.vborder = hborder, vborder

    def dtd(self):
        """The 18-byte detailed timing descriptor of this timing."""
        clock = self.khz // 10  # 10 kHz units, truncated
        hblank = self.hfp + self.hs + self.hbp
        vblank = self.vfp + self.vs + self.vbp
        va = self.va
        return pack_dtd(clock, self.ha, hblank, va, vblank, self.hfp, self.hs,
                        self.vfp, self.vs, self.hborder, self.vborder,
                        self.interlaced, self.hpol, self.vpol)


def pack_dtd(clock, ha, hblank, va, vblank, hfp, hs, vfp, vs, hborder, vborder,
             interlaced, hpol, vpol):
    for value, limit in ((clock, 0xFFFF), (ha, 4095), (hblank, 4095), (va, 4095),
                         (vblank, 4095), (hfp, 1023), (hs, 1023), (vfp, 63),
                         (vs, 63), (hborder, 255), (vborder, 255)):
        assert 0 <= value <= limit, (value, limit)
    flags = 0x18  # digital separate sync
    if vpol:
        flags |= 0x04
    if hpol:
        flags |= 0x02
    if interlaced:
        flags |= 0x80
    return [
        clock & 0xFF, clock >> 8,
        ha & 0xFF, hblank & 0xFF, ((ha >> 8) << 4) | (hblank >> 8),
        va & 0xFF, vblank & 0xFF, ((va >> 8) << 4) | (vblank >> 8),
        hfp & 0xFF, hs & 0xFF, ((vfp & 0x0F) << 4) | (vs & 0x0F),
        ((hfp >> 8) << 6) | ((hs >> 8) << 4) | ((vfp >> 4) << 2) | (vs >> 4),
        0, 0, 0,
        hborder, vborder,
        flags,
    ]


def dmt(mhz, ha, hfp, hs, hbp, va, vfp, vs, vbp, hpol, vpol, **kw):
    """A DMT timing; the clock is given in MHz as the standard lists it."""
    return Timing(round(mhz * 1000), ha, hfp, hs, hbp, va, vfp, vs, vbp, hpol, vpol, **kw)


# CVT 1.1 reduced blanking: fixed horizontal blanking, 460 us minimum vertical
# blanking, 0.25 MHz clock step, vertical sync width by aspect ratio.
RB_H_BLANK, RB_H_SYNC, RB_H_FPORCH = 160, 32, 48
RB_MIN_V_BLANK_US = 460.0
RB_V_FPORCH, RB_MIN_V_BPORCH = 3, 6
CLOCK_STEP_MHZ = 0.25


def cvt_vsync(ha, va):
    for (w, h), vs in (((4, 3), 4), ((16, 9), 5), ((16, 10), 6), ((5, 4), 7), ((15, 9), 7)):
        if abs(ha * h - va * w) <= va * w * 0.01:
            return vs
    return 10


def cvt_rb(ha, va, refresh):
    vs = cvt_vsync(ha, va)
    h_period_est = ((1000000.0 / refresh) - RB_MIN_V_BLANK_US) / va
    vbi_lines = math.floor(RB_MIN_V_BLANK_US / h_period_est) + 1
    vbi_lines = max(vbi_lines, RB_V_FPORCH + vs + RB_MIN_V_BPORCH)
    total_v = va + vbi_lines
    total_h = ha + RB_H_BLANK
    steps = math.floor(refresh * total_v * total_h / 1000000.0 / CLOCK_STEP_MHZ)
    khz = steps * 250
    return Timing(khz, ha, RB_H_FPORCH, RB_H_SYNC, RB_H_BLANK - RB_H_FPORCH - RB_H_SYNC,
                  va, RB_V_FPORCH, vs, vbi_lines - RB_V_FPORCH - vs, POS, NEG)


def cea(mhz, ha, hfp, hs, hbp, va, vfp, vs, vbp, hpol, vpol, interlaced=False):
    """A CTA-861 format. For interlaced formats va and the vertical values are
    those of one field, vbp holding the field's share of the blanking rounded
    down (so a 525-line frame gives 22 blanking lines per field)."""
    return Timing(round(mhz * 1000), ha, hfp, hs, hbp, va, vfp, vs, vbp, hpol, vpol,
                  interlaced=interlaced)


# --------------------------------------------------------------------------
# VESA modes, in menu order. (key, timing); the key names the mode for both
# builds' captions.

VESA_MODES = [
    ("640x480@60 noborder", dmt(25.175, 640, 16, 96, 48, 480, 10, 2, 33, NEG, NEG)),
    ("640x350@85", dmt(31.5, 640, 32, 64, 96, 350, 32, 3, 60, POS, NEG)),
    ("640x400@85", dmt(31.5, 640, 32, 64, 96, 400, 1, 3, 41, NEG, POS)),
    ("720x400@85", dmt(35.5, 720, 36, 72, 108, 400, 1, 3, 42, NEG, POS)),
    ("640x480@60 vesa", None),  # kept as it stands (FIXED_ROWS)
    ("640x480@72", dmt(31.5, 640, 16, 40, 120, 480, 1, 3, 20, NEG, NEG, hborder=8, vborder=8)),
    ("640x480@75", dmt(31.5, 640, 16, 64, 120, 480, 1, 3, 16, NEG, NEG)),
    ("640x480@85", dmt(36.0, 640, 56, 56, 80, 480, 1, 3, 25, NEG, NEG)),
    ("800x600@56", dmt(36.0, 800, 24, 72, 128, 600, 1, 2, 22, POS, POS)),
    ("800x600@60", dmt(40.0, 800, 40, 128, 88, 600, 1, 4, 23, POS, POS)),
    ("800x600@72", dmt(50.0, 800, 56, 120, 64, 600, 37, 6, 23, POS, POS)),
    ("800x600@75", dmt(49.5, 800, 16, 80, 160, 600, 1, 3, 21, POS, POS)),
    ("800x600@85", dmt(56.25, 800, 32, 64, 152, 600, 1, 3, 27, POS, POS)),
    ("800x600@120rb", cvt_rb(800, 600, 120)),
    ("848x480@60", dmt(33.75, 848, 16, 112, 112, 480, 6, 8, 23, POS, POS)),
    ("1024x768@43i", dmt(44.9, 1024, 8, 176, 56, 384, 0, 4, 20, POS, POS, interlaced=True)),
    ("1024x768@60", dmt(65.0, 1024, 24, 136, 160, 768, 3, 6, 29, NEG, NEG)),
    ("1024x768@70", dmt(75.0, 1024, 24, 136, 144, 768, 3, 6, 29, NEG, NEG)),
    ("1024x768@75", dmt(78.75, 1024, 16, 96, 176, 768, 1, 3, 28, POS, POS)),
    ("1024x768@85", dmt(94.5, 1024, 48, 96, 208, 768, 1, 3, 36, POS, POS)),
    ("1024x768@120rb", cvt_rb(1024, 768, 120)),
    ("1152x864@75", dmt(108.0, 1152, 64, 128, 256, 864, 1, 3, 32, POS, POS)),
    ("1280x720@60", dmt(74.25, 1280, 110, 40, 220, 720, 5, 5, 20, POS, POS)),
    ("1280x768@60rb", cvt_rb(1280, 768, 60)),
    ("1280x768@60", dmt(79.5, 1280, 64, 128, 192, 768, 3, 7, 20, NEG, POS)),
    ("1280x768@75", dmt(102.25, 1280, 80, 128, 208, 768, 3, 7, 27, NEG, POS)),
    ("1280x768@85", dmt(117.5, 1280, 80, 136, 216, 768, 3, 7, 31, NEG, POS)),
    ("1280x768@120rb", cvt_rb(1280, 768, 120)),
    ("1280x800@60rb", cvt_rb(1280, 800, 60)),
    ("1280x800@60", dmt(83.5, 1280, 72, 128, 200, 800, 3, 6, 22, NEG, POS)),
    ("1280x800@75", dmt(106.5, 1280, 80, 128, 208, 800, 3, 6, 29, NEG, POS)),
    ("1280x800@85", dmt(122.5, 1280, 80, 136, 216, 800, 3, 6, 34, NEG, POS)),
    ("1280x800@120rb", cvt_rb(1280, 800, 120)),
    ("1280x960@60", dmt(108.0, 1280, 96, 112, 312, 960, 1, 3, 36, POS, POS)),
    ("1280x960@85", dmt(148.5, 1280, 64, 160, 224, 960, 1, 3, 47, POS, POS)),
    ("1280x960@120rb", cvt_rb(1280, 960, 120)),
    ("1280x1024@60", dmt(108.0, 1280, 48, 112, 248, 1024, 1, 3, 38, POS, POS)),
    ("1280x1024@75", dmt(135.0, 1280, 16, 144, 248, 1024, 1, 3, 38, POS, POS)),
    ("1280x1024@85", dmt(157.5, 1280, 64, 160, 224, 1024, 1, 3, 44, POS, POS)),
    ("1280x1024@120rb", cvt_rb(1280, 1024, 120)),
    ("1360x768@60", dmt(85.5, 1360, 64, 112, 256, 768, 3, 6, 18, POS, POS)),
    ("1360x768@120rb", cvt_rb(1360, 768, 120)),
    ("1366x768@60", dmt(85.5, 1366, 70, 143, 213, 768, 3, 3, 24, POS, POS)),
    ("1366x768@60rb", dmt(72.0, 1366, 14, 56, 64, 768, 1, 3, 28, POS, POS)),
    ("1400x1050@60rb", cvt_rb(1400, 1050, 60)),
    ("1400x1050@60", dmt(121.75, 1400, 88, 144, 232, 1050, 3, 4, 32, NEG, POS)),
    ("1400x1050@75", dmt(156.0, 1400, 104, 144, 248, 1050, 3, 4, 42, NEG, POS)),
    ("1400x1050@85", dmt(179.5, 1400, 104, 152, 256, 1050, 3, 4, 48, NEG, POS)),
    ("1400x1050@120rb", cvt_rb(1400, 1050, 120)),
    ("1440x900@60rb", cvt_rb(1440, 900, 60)),
    ("1440x900@60", dmt(106.5, 1440, 80, 152, 232, 900, 3, 6, 25, NEG, POS)),
    ("1440x900@75", dmt(136.75, 1440, 96, 152, 248, 900, 3, 6, 33, NEG, POS)),
    ("1440x900@85", dmt(157.0, 1440, 104, 152, 256, 900, 3, 6, 39, NEG, POS)),
    ("1440x900@120rb", cvt_rb(1440, 900, 120)),
    ("1600x900@60rb", dmt(108.0, 1600, 24, 80, 96, 900, 1, 3, 96, POS, POS)),
    ("1600x1200@60", dmt(162.0, 1600, 64, 192, 304, 1200, 1, 3, 46, POS, POS)),
    ("1600x1200@65", dmt(175.5, 1600, 64, 192, 304, 1200, 1, 3, 46, POS, POS)),
    ("1600x1200@70", dmt(189.0, 1600, 64, 192, 304, 1200, 1, 3, 46, POS, POS)),
    ("1600x1200@75", dmt(202.5, 1600, 64, 192, 304, 1200, 1, 3, 46, POS, POS)),
    ("1600x1200@85", dmt(229.5, 1600, 64, 192, 304, 1200, 1, 3, 46, POS, POS)),
    ("1600x1200@120rb", cvt_rb(1600, 1200, 120)),
    ("1680x1050@60rb", cvt_rb(1680, 1050, 60)),
    ("1680x1050@60", dmt(146.25, 1680, 104, 176, 280, 1050, 3, 6, 30, NEG, POS)),
    ("1680x1050@75", dmt(187.0, 1680, 120, 176, 296, 1050, 3, 6, 40, NEG, POS)),
    ("1680x1050@85", dmt(214.75, 1680, 128, 176, 304, 1050, 3, 6, 46, NEG, POS)),
    ("1680x1050@120rb", cvt_rb(1680, 1050, 120)),
    ("1792x1344@60", dmt(204.75, 1792, 128, 200, 328, 1344, 1, 3, 46, NEG, POS)),
    ("1792x1344@75", dmt(261.0, 1792, 96, 216, 352, 1344, 1, 3, 69, NEG, POS)),
    ("1792x1344@120rb", cvt_rb(1792, 1344, 120)),
    ("1856x1392@60", dmt(218.25, 1856, 96, 224, 352, 1392, 1, 3, 43, NEG, POS)),
    ("1856x1392@75", dmt(288.0, 1856, 128, 224, 352, 1392, 1, 3, 104, NEG, POS)),
    ("1856x1392@120rb", cvt_rb(1856, 1392, 120)),
    ("1920x1080@60", dmt(148.5, 1920, 88, 44, 148, 1080, 4, 5, 36, POS, POS)),
    ("1920x1200@60rb", cvt_rb(1920, 1200, 60)),
    ("1920x1200@60", dmt(193.25, 1920, 136, 200, 336, 1200, 3, 6, 36, NEG, POS)),
    ("1920x1200@75", dmt(245.25, 1920, 136, 208, 344, 1200, 3, 6, 46, NEG, POS)),
    ("1920x1200@85", dmt(281.25, 1920, 144, 208, 352, 1200, 3, 6, 53, NEG, POS)),
    ("1920x1200@120rb", cvt_rb(1920, 1200, 120)),
    ("1920x1440@60", dmt(234.0, 1920, 128, 208, 344, 1440, 1, 3, 56, NEG, POS)),
    ("1920x1440@75", dmt(297.0, 1920, 144, 224, 352, 1440, 1, 3, 56, NEG, POS)),
    ("1920x1440@120rb", cvt_rb(1920, 1440, 120)),
    ("2048x1152@60rb", dmt(162.0, 2048, 26, 80, 96, 1152, 1, 3, 44, POS, POS)),
    ("2560x1600@60rb", cvt_rb(2560, 1600, 60)),
    ("2560x1600@60", dmt(348.5, 2560, 192, 280, 472, 1600, 3, 6, 49, NEG, POS)),
    ("2560x1600@75", dmt(443.25, 2560, 208, 280, 488, 1600, 3, 6, 63, NEG, POS)),
    ("2560x1600@85", dmt(505.25, 2560, 208, 280, 488, 1600, 3, 6, 73, NEG, POS)),
    ("2560x1600@120rb", cvt_rb(2560, 1600, 120)),
]

# --------------------------------------------------------------------------
# CTA-861 formats (by the key used in the captions below).

# 720(1440)x480i geometry: 1440 pixels (pixel-repeated 720), 858 x 2 clocks,
# 525 lines per frame, 262.5 per field: 22 or 23 blanking lines.
def _ntsc_i(mhz, second_field=False, ha=1440, hfp=38, hs=124, hbp=114):
    if second_field:
        return cea(mhz, ha, hfp, hs, hbp, 240, 5, 3, 15, NEG, NEG, interlaced=True)
    return cea(mhz, ha, hfp, hs, hbp, 240, 4, 3, 15, NEG, NEG, interlaced=True)


# 720(1440)x576i: 864 x 2 clocks, 625 lines per frame, 312.5 per field: 24 or 25.
def _pal_i(mhz, second_field=False, ha=1440, hfp=24, hs=126, hbp=138):
    if second_field:
        return cea(mhz, ha, hfp, hs, hbp, 288, 3, 3, 19, NEG, NEG, interlaced=True)
    return cea(mhz, ha, hfp, hs, hbp, 288, 2, 3, 19, NEG, NEG, interlaced=True)


def _hd1080i(mhz, hfp):
    # 1125 lines per frame, 562.5 per field: 22 blanking lines per field.
    return cea(mhz, 1920, hfp, 44, 148, 540, 2, 5, 15, POS, POS, interlaced=True)


def _hd1080p(mhz, hfp):
    return cea(mhz, 1920, hfp, 44, 148, 1080, 4, 5, 36, POS, POS)


CEA_FORMATS = {
    "640x480p60": cea(25.175, 640, 16, 96, 48, 480, 10, 2, 33, NEG, NEG),          # VIC 1
    "720x480p60": cea(27.0, 720, 16, 62, 60, 480, 9, 6, 30, NEG, NEG),             # VIC 2/3
    "720x480p120": cea(54.0, 720, 16, 62, 60, 480, 9, 6, 30, NEG, NEG),            # VIC 48/49
    "720x480p240": cea(108.0, 720, 16, 62, 60, 480, 9, 6, 30, NEG, NEG),           # VIC 56/57
    "720x576p50": cea(27.0, 720, 12, 64, 68, 576, 5, 5, 39, NEG, NEG),             # VIC 17/18
    "720x576p100": cea(54.0, 720, 12, 64, 68, 576, 5, 5, 39, NEG, NEG),            # VIC 42/43
    "720x576p200": cea(108.0, 720, 12, 64, 68, 576, 5, 5, 39, NEG, NEG),           # VIC 52/53
    "1280x720p50": cea(74.25, 1280, 440, 40, 220, 720, 5, 5, 20, POS, POS),        # VIC 19
    "1280x720p60": cea(74.25, 1280, 110, 40, 220, 720, 5, 5, 20, POS, POS),        # VIC 4
    "1280x720p100": cea(148.5, 1280, 440, 40, 220, 720, 5, 5, 20, POS, POS),       # VIC 41
    "1280x720p120": cea(148.5, 1280, 110, 40, 220, 720, 5, 5, 20, POS, POS),       # VIC 47
    # VIC 8/9: 262 or 263 lines per frame.
    "1440x240p60 262": cea(27.0, 1440, 38, 124, 114, 240, 4, 3, 15, NEG, NEG),
    "1440x240p60 263": cea(27.0, 1440, 38, 124, 114, 240, 5, 3, 15, NEG, NEG),
    # VIC 23/24: 312, 313 or 314 lines per frame.
    "1440x288p50 312": cea(27.0, 1440, 24, 126, 138, 288, 2, 3, 19, NEG, NEG),
    "1440x288p50 313": cea(27.0, 1440, 24, 126, 138, 288, 3, 3, 19, NEG, NEG),
    "1440x288p50 314": cea(27.0, 1440, 24, 126, 138, 288, 4, 3, 19, NEG, NEG),
    "1440x480i60": _ntsc_i(27.0),                                                    # VIC 6/7
    "1440x480p60": cea(54.0, 1440, 32, 124, 120, 480, 9, 6, 30, NEG, NEG),          # VIC 14/15
    "1440x480i120 f1": _ntsc_i(54.0),                                                # VIC 50/51
    "1440x480i120 f2": _ntsc_i(54.0, second_field=True),
    "1440x480i240 f1": _ntsc_i(108.0),                                               # VIC 58/59
    "1440x480i240 f2": _ntsc_i(108.0, second_field=True),
    "1440x576i50": _pal_i(27.0),                                                     # VIC 21/22
    "1440x576p50": cea(54.0, 1440, 24, 128, 136, 576, 5, 5, 39, NEG, NEG),          # VIC 29/30
    "1440x576i100 f1": _pal_i(54.0),                                                 # VIC 44/45
    "1440x576i100 f2": _pal_i(54.0, second_field=True),
    "1440x576i200 f1": _pal_i(108.0),                                                # VIC 54/55
    "1440x576i200 f2": _pal_i(108.0, second_field=True),
    "1680x720p30": cea(59.4, 1680, 700, 40, 220, 720, 5, 5, 20, POS, POS),          # VIC 81
    "1680x720p50": cea(82.5, 1680, 260, 40, 220, 720, 5, 5, 20, POS, POS),          # VIC 82
    "1680x720p60": cea(99.0, 1680, 260, 40, 220, 720, 5, 5, 20, POS, POS),          # VIC 83
    "1680x720p100": cea(165.0, 1680, 60, 40, 220, 720, 5, 5, 95, POS, POS),         # VIC 84
    "1680x720p120": cea(198.0, 1680, 60, 40, 220, 720, 5, 5, 95, POS, POS),         # VIC 85
    "1920x1080p24": _hd1080p(74.25, 638),                                            # VIC 32
    "1920x1080p25": _hd1080p(74.25, 528),                                            # VIC 33
    "1920x1080p30": _hd1080p(74.25, 88),                                             # VIC 34
    "1920x1080i50": _hd1080i(74.25, 528),                                            # VIC 20
    "1920x1080p50": _hd1080p(148.5, 528),                                            # VIC 31
    # VIC 39: 1250 lines per frame, 625 per field.
    "1920x1080i50 1250": cea(72.0, 1920, 32, 168, 184, 540, 23, 5, 57, POS, NEG, interlaced=True),
    "1920x1080i60": _hd1080i(74.25, 88),                                             # VIC 5
    "1920x1080p60": _hd1080p(148.5, 88),                                             # VIC 16
    "1920x1080i100": _hd1080i(148.5, 528),                                           # VIC 40
    "1920x1080p100": _hd1080p(297.0, 528),                                           # VIC 64
    "1920x1080i120": _hd1080i(148.5, 88),                                            # VIC 46
    "1920x1080p120": _hd1080p(297.0, 88),                                            # VIC 63
    "2560x1080p24": cea(99.0, 2560, 998, 44, 148, 1080, 4, 5, 11, POS, POS),        # VIC 86
    "2560x1080p25": cea(90.0, 2560, 448, 44, 148, 1080, 4, 5, 36, POS, POS),        # VIC 87
    "2560x1080p30": cea(118.8, 2560, 768, 44, 148, 1080, 4, 5, 36, POS, POS),       # VIC 88
    "2560x1080p50": cea(185.625, 2560, 548, 44, 148, 1080, 4, 5, 36, POS, POS),     # VIC 89
    "2560x1080p60": cea(198.0, 2560, 248, 44, 148, 1080, 4, 5, 11, POS, POS),       # VIC 90
    "2560x1080p100": cea(371.25, 2560, 218, 44, 148, 1080, 4, 5, 161, POS, POS),    # VIC 91
    "2560x1080p120": cea(495.0, 2560, 548, 44, 148, 1080, 4, 5, 161, POS, POS),     # VIC 92
    # 2880-pixel formats: 720 pixels repeated four times.
    "2880x240p60 262": cea(54.0, 2880, 76, 248, 228, 240, 4, 3, 15, NEG, NEG),      # VIC 12/13
    "2880x240p60 263": cea(54.0, 2880, 76, 248, 228, 240, 5, 3, 15, NEG, NEG),
    "2880x288p50 312": cea(54.0, 2880, 48, 252, 276, 288, 2, 3, 19, NEG, NEG),      # VIC 27/28
    "2880x288p50 313": cea(54.0, 2880, 48, 252, 276, 288, 3, 3, 19, NEG, NEG),
    "2880x288p50 314": cea(54.0, 2880, 48, 252, 276, 288, 4, 3, 19, NEG, NEG),
    "2880x480i60": _ntsc_i(54.0, ha=2880, hfp=76, hs=248, hbp=228),                 # VIC 10/11
    "2880x480p60": cea(108.0, 2880, 64, 248, 240, 480, 9, 6, 30, NEG, NEG),         # VIC 35/36
    "2880x576i50": _pal_i(54.0, ha=2880, hfp=48, hs=252, hbp=276),                  # VIC 25/26
    "2880x576p50": cea(108.0, 2880, 48, 256, 272, 576, 5, 5, 39, NEG, NEG),         # VIC 37/38
    "3840x2160p30": cea(297.0, 3840, 176, 88, 296, 2160, 8, 10, 72, POS, POS),      # VIC 95
    "3840x2160p60": cea(594.0, 3840, 176, 88, 296, 2160, 8, 10, 72, POS, POS),      # VIC 97
}

# --------------------------------------------------------------------------
# Captions of both builds. VESA: (caption, mode key); CEA: (caption, format key).

VESA_CAPTIONS_CTS = [
    "640x480 60Hz No borders", "640x350 85Hz", "640x400 85Hz", "720x400 85Hz",
    "640x480 60Hz VESA", "640x480 72Hz", "640x480 75Hz", "640x480 85Hz", "800x600 56Hz",
    "800x600 60Hz", "800x600 72Hz", "800x600 75Hz", "800x600 85Hz", "800x600 120Hz CVT RB",
    "848x480 60Hz", "1024x768 43Hz LACED", "1024x768 60Hz", "1024x768 70Hz", "1024x768 75Hz",
    "1024x768 85Hz", "1024x768 120Hz CVT RB", "1152x864 75Hz", "1280x720 60Hz",
    "1280x768 60Hz CVT RB", "1280x768 60Hz", "1280x768 75Hz", "1280x768 85Hz",
    "1280x768 120Hz CVT RB", "1280x800 60Hz CVT RB", "1280x800 60Hz", "1280x800 75Hz",
    "1280x800 85Hz", "1280x800 120Hz CVT RB", "1280x960 60Hz", "1280x960 85Hz",
    "1280x960 120Hz CVT RB", "1280x1024 60Hz", "1280x1024 75Hz", "1280x1024 85Hz",
    "1280x1024 120Hz CVT RB", "1360x768 60Hz", "1360x768 120Hz CVT RB", "1366x768 60Hz",
    "1366x768 60Hz", "1400x1050 60Hz CVT RB", "1400x1050 60Hz", "1400x1050 75Hz",
    "1400x1050 85Hz", "1400x1050 120Hz CVT RB", "1440x900 60Hz CVT RB", "1440x900 60Hz",
    "1440x900 75Hz", "1440x900 85Hz", "1440x900 120Hz CVT RB", "1600x900 60Hz",
    "1600x1200 60Hz", "1600x1200 65Hz", "1600x1200 70Hz", "1600x1200 75Hz", "1600x1200 85Hz",
    "1600x1200 120Hz CVT RB", "1680x1050 60Hz CVT RB", "1680x1050 60Hz", "1680x1050 75Hz",
    "1680x1050 85Hz", "1680x1050 120Hz CVT RB", "1792x1344 60Hz", "1792x1344 75Hz",
    "1792x1344 120Hz CVT RB", "1856x1392 60Hz", "1856x1392 75Hz", "1856x1392 120Hz CVT RB",
    "1920x1080 60Hz", "1920x1200 60Hz CVT RB", "1920x1200 60Hz", "1920x1200 75Hz",
    "1920x1200 85Hz", "1920x1200 120Hz CVT RB", "1920x1440 60Hz", "1920x1440 75Hz",
    "1920x1440 120Hz CVT RB", "2048x1152 60Hz", "2560x1600 60Hz CVT RB", "2560x1600 60Hz",
    "2560x1600 75Hz", "2560x1600 85Hz", "2560x1600 120Hz CVT RB",
]

# The sink monitor's build offers the same modes without the borderless
# 640x480 row, under its own captions.
VESA_CAPTIONS_SINK = [
    "640 x 350p 85 Hz", "640 x 400p 85 Hz", "720 x 400p 85 Hz", "640 x 480p 60 Hz",
    "640 x 480p 72 Hz", "640 x 480p 75 Hz", "640 x 480p 85 Hz", "800 x 600p 56 Hz",
    "800 x 600p 60 Hz", "800 x 600p 72 Hz", "800 x 600p 75 Hz", "800 x 600p 85 Hz",
    "800 x 600p 120 Hz (CVT,RB)", "848 x 480p 60 Hz", "1024 x 768i 43 Hz", "1024 x 768p 60 Hz",
    "1024 x 768p 70 Hz", "1024 x 768p 75 Hz", "1024 x 768p 85 Hz",
    "1024 x 768p 120 Hz (CVT, RB)", "1152 x 864p 75 Hz", "1280 x 720p 60 Hz",
    "1280 x 768p 60 Hz (CVT, RB)", "1280 x 768p 60 Hz", "1280 x 768p 75 Hz",
    "1280 x 768p 85 Hz", "1280 x 768p 120 Hz (CVT, RB)", "1280 x 800p 60 Hz (CVT, RB)",
    "1280 x 800p 60 Hz", "1280 x 800p 75 Hz", "1280 x 800p 85 Hz",
    "1280 x 800p 120 Hz (CVT, RB)", "1280 x 960p 60 Hz", "1280 x 960p 85 Hz",
    "1280 x 960p 120 Hz (CVT, RB)", "1280 x 1024p 60 Hz", "1280 x 1024p 75 Hz",
    "1280 x 1024p 85 Hz", "1280 x 1024p 120 Hz (CVT, RB)", "1360 x 768p 60 Hz",
    "1360 x 768p 120 Hz (CVT, RB)", "1366 x 768p 60 Hz", "1366 x 768p 60 Hz (RB)",
    "1400 x 1050p 60 Hz (CVT, RB)", "1400 x 1050p 60 Hz", "1400 x 1050p 75 Hz",
    "1400 x 1050p 85 Hz", "1400 x 1050p 120 Hz (CVT, RB)", "1440 x 900p 60 Hz (CVT, RB)",
    "1440 x 900p 60 Hz", "1440 x 900p 75 Hz", "1440 x 900p 85 Hz",
    "1440 x 900p 120 Hz (CVT, RB)", "1600 x 900p 60 Hz (RB)", "1600 x 1200p 60 Hz",
    "1600 x 1200p 65 Hz", "1600 x 1200p 70 Hz", "1600 x 1200p 75 Hz", "1600 x 1200p 85 Hz",
    "1600 x 1200p 120 Hz (RB)", "1680 x 1050p 60 Hz (CVT, RB)", "1680 x 1050p 60 Hz",
    "1680 x 1050p 75 Hz", "1680 x 1050p 85 Hz", "1680 x 1050p 120 Hz (CVT, RB)",
    "1792 x 1344p 60_ Hz", "1792 x 1344p 75 Hz", "1792 x 1344p 120 Hz (CVT, RB)",
    "1856 x 1392p 60 Hz", "1856 x 1392p 75 Hz", "1856 x 1392p 120 Hz (CVT, RB)",
    "1920 x 1080p 60 Hz", "1920 x 1200p 60 Hz (CVT, RB)", "1920 x 1200p 60 Hz",
    "1920 x 1200p 75 Hz", "1920 x 1200p 85 Hz", "1920 x 1200p 120 Hz (CVT, RB)",
    "1920 x 1440p 60 Hz", "1920 x 1440p 75 Hz", "1920 x 1440p 120 Hz (CVT, RB)",
    "2048 x 1152p 60 Hz (RB)", "2560 x 1600p 60 Hz (CVT, RB)", "2560 x 1600p 60 Hz",
    "2560 x 1600p 75 Hz", "2560 x 1600p 85 Hz", "2560 x 1600p 120 Hz (CVT, RB)",
]

# Captions that occur twice name two variants of one format: the 262- and
# 263-line 240p frames, and for the doubled 480i / 576i rows the two fields of
# the interlaced frame (22 and 23, or 24 and 25, blanking lines).
CEA_ROWS_CTS = [
    ("640X480P 59.94HZ/60HZ", "640x480p60"),
    ("720X480P 59.94HZ/60HZ", "720x480p60"),
    ("720X480P 119.88/120HZ", "720x480p120"),
    ("720X480P 239.76/240HZ", "720x480p240"),
    ("720X576P 200HZ", "720x576p200"),
    ("720X576P 50HZ", "720x576p50"),
    ("720X576P 100HZ", "720x576p100"),
    ("1280X720P 50HZ", "1280x720p50"),
    ("1280X720P 59.94HZ/60HZ", "1280x720p60"),
    ("1280X720P 100HZ", "1280x720p100"),
    ("1280X720P 119.88/120HZ", "1280x720p120"),
    ("720(1440)X240P 59.94HZ/60HZ ", "1440x240p60 262"),
    ("720(1440)X240P 59.94HZ/60HZ ", "1440x240p60 263"),
    ("720(1440)X288P 50HZ A", "1440x288p50 313"),
    ("720(1440)X288P 50HZ B", "1440x288p50 314"),
    ("720(1440)X288P 50HZ C", "1440x288p50 312"),
    ("720(1440)X480I 59.94HZ/60HZ", "1440x480i60"),
    ("1440X480P 59.94HZ/60HZ", "1440x480p60"),
    ("720(1440)X480I 119.88/120HZ ", "1440x480i120 f1"),
    ("720(1440)X480I 119.88/120HZ ", "1440x480i120 f2"),
    ("720(1440)X480I 239.76/240HZ ", "1440x480i240 f1"),
    ("720(1440)X480I 239.76/240HZ ", "1440x480i240 f2"),
    ("720(1440)X576I 50HZ", "1440x576i50"),
    ("1440X576P 50HZ", "1440x576p50"),
    ("720(1440)X576I 100HZ A", "1440x576i100 f1"),
    ("720(1440)X576I 100HZ B", "1440x576i100 f2"),
    ("720(1440)X576I 200HZ A", "1440x576i200 f1"),
    ("720(1440)X576I 200HZ B", "1440x576i200 f2"),
    ("1920X1080P 23.97HZ/24HZ", "1920x1080p24"),
    ("1920X1080P 25HZ", "1920x1080p25"),
    ("1920X1080P 29.97HZ/30HZ", "1920x1080p30"),
    ("1920X1080I 50HZ", "1920x1080i50"),
    ("1920X1080P 50HZ", "1920x1080p50"),
    ("1920X1080I (1250 TOTAL) 50HZ", "1920x1080i50 1250"),
    ("1920X1080I 59.94HZ/60HZ", "1920x1080i60"),
    ("1920X1080P 59.94HZ/60HZ", "1920x1080p60"),
    ("1920X1080I 100HZ", "1920x1080i100"),
    ("1920X1080P 100HZ", "1920x1080p100"),
    ("1920X1080I 119.88/120HZ", "1920x1080i120"),
    ("1920X1080P 119.88/120HZ", "1920x1080p120"),
    ("2880X240P 59.94HZ/60HZ A", "2880x240p60 262"),
    ("2880X240P 59.94HZ/60HZ B", "2880x240p60 263"),
    ("2880X288P 50HZ A", "2880x288p50 312"),
    ("2880X288P 50HZ B", "2880x288p50 313"),
    ("2880X288P 50HZ C", "2880x288p50 314"),
    ("2880X480I 59.94HZ/60HZ", "2880x480i60"),
    ("2880X480P 59.94HZ/60HZ", "2880x480p60"),
    ("2880X576I 50HZ", "2880x576i50"),
    ("2880X576P 50HZ", "2880x576p50"),
]

CEA_ROWS_SINK = [
    ("640x480p 59.94 Hz", "640x480p60"),
    ("720x480p 59.94 Hz", "720x480p60"),
    ("720x480p 119.88 Hz", "720x480p120"),
    ("720x480p 239.76 Hz", "720x480p240"),
    ("720x576p 50 Hz", "720x576p50"),
    ("720x576p 100 Hz", "720x576p100"),
    ("720x576p 200 Hz", "720x576p200"),
    ("1280x720p 50 Hz", "1280x720p50"),
    ("1280x720p 60 Hz", "1280x720p60"),
    ("1280x720p 100 Hz", "1280x720p100"),
    ("1280x720p 120 Hz", "1280x720p120"),
    ("1440x240p 60.054 Hz", "1440x240p60 262"),
    ("1440x240p 59.826 Hz", "1440x240p60 263"),
    ("1440x288p 49.92 Hz", "1440x288p50 313"),
    ("1440x288p 49.761 Hz", "1440x288p50 314"),
    ("1440x288p 50.08 Hz", "1440x288p50 312"),
    ("1440x480i 59.94 Hz", "1440x480i60"),
    ("1440x480p 59.94 Hz", "1440x480p60"),
    ("1440x480i 119.88 Hz HS-12", "1440x480i120 f1"),
    ("1440x480i 119.88 Hz HS-4", "1440x480i120 f2"),
    ("1440x480i 239.76 Hz HS-4", "1440x480i240 f1"),
    ("1440x480i 239.76 Hz HS-12", "1440x480i240 f2"),
    ("1440x576i 50 Hz", "1440x576i50"),
    ("1440x576p 50 Hz", "1440x576p50"),
    ("1440x576i 100 Hz HS-6", "1440x576i100 f1"),
    ("1440x576i 100 Hz HS-12", "1440x576i100 f2"),
    ("1440x576i 200 Hz HS-6", "1440x576i200 f1"),
    ("1440x576i 200 Hz HS-12", "1440x576i200 f2"),
    ("1680x720p 30 Hz", "1680x720p30"),
    ("1680x720p 50 Hz", "1680x720p50"),
    ("1680x720p 60 Hz", "1680x720p60"),
    ("1680x720p 100 Hz", "1680x720p100"),
    ("1680x720p 120 Hz", "1680x720p120"),
    ("1920x1080p 24 Hz", "1920x1080p24"),
    ("1920x1080p 25 Hz", "1920x1080p25"),
    ("1920x1080p 30 Hz", "1920x1080p30"),
    ("1920x1080i 50 Hz", "1920x1080i50"),
    ("1920x1080p 50 Hz", "1920x1080p50"),
    ("1920x1080i 50 Hz", "1920x1080i50 1250"),
    ("1920x1080i 60 Hz", "1920x1080i60"),
    ("1920x1080p 60 Hz", "1920x1080p60"),
    ("1920x1080i 100 Hz", "1920x1080i100"),
    ("1920x1080p 100 Hz", "1920x1080p100"),
    ("1920x1080i 120 Hz", "1920x1080i120"),
    ("1920x1080p 120 Hz", "1920x1080p120"),
    ("2560x1080p 24 Hz", "2560x1080p24"),
    ("2560x1080p 25 Hz", "2560x1080p25"),
    ("2560x1080p 30 Hz", "2560x1080p30"),
    ("2560x1080p 50 Hz", "2560x1080p50"),
    ("2560x1080p 60 Hz", "2560x1080p60"),
    ("2560x1080p 100 Hz", "2560x1080p100"),
    ("2560x1080p 120 Hz", "2560x1080p120"),
    ("2880x240p 60.054 Hz", "2880x240p60 262"),
    ("2880x240p 59.826 Hz", "2880x240p60 263"),
    ("2880x288p 50.08 Hz", "2880x288p50 312"),
    ("2880x288p 49.92 Hz", "2880x288p50 313"),
    ("2880x288p 49.761 Hz", "2880x288p50 314"),
    ("2880x480p 59.94 Hz", "2880x480p60"),
    ("2880x480i 59.94 Hz", "2880x480i60"),
    ("2880x576i 50 Hz", "2880x576i50"),
    ("2880x576p 50 Hz", "2880x576p50"),
    ("3840x2160p 30 Hz", "3840x2160p30"),
    ("3840x2160p 60 Hz", "3840x2160p60"),
]


def hexbytes(text):
    return [int(b, 16) for b in text.split()]


# Rows kept byte for byte as the tables have always held them:
# (table, build, row) -> bytes. Two of them break the conventions: the DMT
# 640x480 row with an h-sync of 112 and a v-sync of 18, and the interlaced
# 1024x768 row that holds a whole frame (768 lines) instead of one field.
FIXED_ROWS = {
    ("vesa", "cts", 4): hexbytes("D5 09 80 A0 20 E0 2D 10 08 70 22 01 00 00 00 08 08 18"),
    ("vesa", "cts", 15): hexbytes("8A 11 00 F0 40 00 31 30 08 B0 0D 01 00 00 00 00 00 9E"),
    ("vesa", "sink", 3): hexbytes("D5 09 80 A0 20 E0 2D 10 08 70 22 01 00 00 00 08 08 18"),
}

# Rows whose bytes are known and must come out of the computation unchanged.
CHECKED_ROWS = {
    ("vesa", "cts", 0): "D5 09 80 A0 20 E0 2D 10 10 60 A2 00 00 00 00 00 00 18",
    ("vesa", "cts", 13): "9D 1C 20 A0 30 58 24 20 30 20 34 00 00 00 00 00 00 1A",
    ("vesa", "cts", 72): "02 3A 80 18 71 38 2D 40 58 2C 45 00 00 00 00 00 00 1E",
    ("vesa", "cts", 86): "EB D7 00 A0 A0 40 5E 60 30 20 36 00 00 00 00 00 00 1A",
    ("cea", "cts", 1): "8C 0A D0 8A 20 E0 2D 10 10 3E 96 00 00 00 00 00 00 18",
    ("cea", "cts", 16): "8C 0A A0 14 51 F0 16 00 26 7C 43 00 00 00 00 00 00 98",
    ("cea", "cts", 33): "20 1C 80 80 71 1C 55 20 20 A8 75 04 00 00 00 00 00 9A",
    ("cea", "cts", 35): "02 3A 80 18 71 38 2D 40 58 2C 45 00 00 00 00 00 00 1E",
    ("vesa", "sink", 0): "4E 0C 80 C0 20 5E 5F 10 20 40 03 08 00 00 00 00 00 1A",
    ("vesa", "sink", 72): "28 3C 80 A0 70 B0 23 40 30 20 36 00 00 00 00 00 00 1A",
    ("cea", "sink", 0): "D5 09 80 A0 20 E0 2D 10 10 60 A2 00 00 00 00 00 00 18",
    ("cea", "sink", 16): "8C 0A A0 14 51 F0 16 00 26 7C 43 00 00 00 00 00 00 98",
    ("cea", "sink", 40): "02 3A 80 18 71 38 2D 40 58 2C 45 00 00 00 00 00 00 1E",
    ("cea", "sink", 62): "08 E8 00 30 F2 70 5A 80 B0 58 8A 00 00 00 00 00 00 1E",
}


def build_tables():
    """Returns {(table, build): [(caption, bytes), ...]}."""
    assert len(VESA_MODES) == len(VESA_CAPTIONS_CTS) == 87
    assert len(VESA_CAPTIONS_SINK) == 86
    assert len(CEA_ROWS_CTS) == 49 and len(CEA_ROWS_SINK) == 63
    tables = {}
    tables[("vesa", "cts")] = [(VESA_CAPTIONS_CTS[i], VESA_MODES[i][1])
                               for i in range(87)]
    tables[("vesa", "sink")] = [(VESA_CAPTIONS_SINK[i], VESA_MODES[i + 1][1])
                                for i in range(86)]
    tables[("cea", "cts")] = [(c, CEA_FORMATS[k]) for c, k in CEA_ROWS_CTS]
    tables[("cea", "sink")] = [(c, CEA_FORMATS[k]) for c, k in CEA_ROWS_SINK]
    result = {}
    for (table, build), rows in tables.items():
        out = []
        for index, (caption, timing) in enumerate(rows):
            assert len(caption) <= 31, caption
            fixed = FIXED_ROWS.get((table, build, index))
            if fixed is not None:
                data = fixed
            else:
                data = timing.dtd()
            checked = CHECKED_ROWS.get((table, build, index))
            if checked is not None and data != hexbytes(checked):
                raise SystemExit("%s %s row %d (%s): computed %s, expected %s" % (
                    table, build, index, caption, " ".join("%02X" % b for b in data), checked))
            out.append((caption, data))
        result[(table, build)] = out
    return result


def render(rows, table, build):
    lines = ["// Generated by tools/gen_timing_presets.py; do not edit.",
             "// %s detailed timing presets of the %s build: {caption, 18 bytes}." % (
                 table.upper(), build)]
    for caption, data in rows:
        escaped = caption.replace("\\", "\\\\").replace('"', '\\"')
        lines.append('{"%s", {%s}},' % (escaped, ", ".join("0x%02X" % b for b in data)))
    return "\n".join(lines) + "\n"


def main(argv):
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    folder = args[0] if args else os.path.join(here, "..", "edid", "vesa", "presets")
    tables = build_tables()
    status = 0
    if not check:
        os.makedirs(folder, exist_ok=True)
    for (table, build), rows in sorted(tables.items()):
        path = os.path.join(folder, "%s_%s.inc" % (table, build))
        text = render(rows, table, build)
        if check:
            try:
                with open(path, encoding="ascii") as f:
                    current = f.read()
            except OSError:
                current = None
            if current != text:
                print("out of date: %s" % path)
                status = 1
        else:
            with open(path, "w", encoding="ascii", newline="\n") as f:
                f.write(text)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

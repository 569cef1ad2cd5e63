#pragma once
// Build options of the EDID library. The one code base is compiled twice:
//   EDID_SINK_BUILD=0  edid_cts:  version 1.0.21, DisplayID codec, fit-to-host,
//                                 the compliance-test preset tables
//   EDID_SINK_BUILD=1  edid_sink: version 1.0.23, no DisplayID codec, every
//                                 instance has the editor window, no fit-to-host,
//                                 the HDMI Forum VSDB, the sink monitor's presets

#ifndef EDID_SINK_BUILD
#error "EDID_SINK_BUILD must be defined to 0 or 1 (set by edid/CMakeLists.txt)"
#endif

#if EDID_SINK_BUILD
#define EDID_HAS_DISPLAYID 0
#define EDID_HAS_FIT_TO_PARENT 0
#define EDID_HAS_HDMI_FORUM_VSDB 1
#define EDID_SINK_PRESETS 1
#else
#define EDID_HAS_DISPLAYID 1
#define EDID_HAS_FIT_TO_PARENT 1
#define EDID_HAS_HDMI_FORUM_VSDB 0
#define EDID_SINK_PRESETS 0
#endif

namespace edid_build {
inline constexpr bool kSinkBuild = EDID_SINK_BUILD != 0;
inline constexpr bool kHasDisplayID = EDID_HAS_DISPLAYID != 0;
inline constexpr bool kHasFitToParent = EDID_HAS_FIT_TO_PARENT != 0;
inline constexpr bool kHasHdmiForumVsdb = EDID_HAS_HDMI_FORUM_VSDB != 0;
inline constexpr bool kSinkPresets = EDID_SINK_PRESETS != 0;
// Every instance of the sink build has the editor window.
inline constexpr bool kAlwaysEditor = kSinkBuild;

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRelease = kSinkBuild ? 23 : 21;
}  // namespace edid_build

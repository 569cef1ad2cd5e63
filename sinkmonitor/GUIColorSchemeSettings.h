#pragma once
// The colour scheme of the sink monitor as the settings hold it: section
// "GUI Colors" of the key \SOFTWARE\Merovan\Common\, over the palette of the
// running application.
#include "sinkmonitor/TGUIColorScheme.h"

// Reads the scheme from the settings now.
TGUIColorScheme LoadGUIColorScheme();
// The one scheme of the program, read on first use.
const TGUIColorScheme& GetGUIColorScheme();

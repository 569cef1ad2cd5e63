// Registers the editor window's factory with the EDID library's handle
// interface. Compiled into each program that links the editor library (see
// CMakeLists.txt), so ECCreate can make instances with an editor window there.
#include "edid/ECEditorHost.h"
#include "edid/editor/TECFormInstance.h"

namespace {
const bool g_editorRegistered = (ECSetEditorFactory(&ECCreateEditorWindow), true);
}  // namespace

#pragma once
// Pure text rules of the editor window: the shortened path label, the line
// splitting of item lists and details texts, and mnemonic-safe captions.

#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace editor_text {

// Splits a text into lines; CR LF, CR and LF each end a line, and a final
// line break starts no further line (an empty text has no lines).
QStringList SplitLines(const QString& text);

// The name=value rows of a details text: each line split at its first "=";
// a line without "=" is a name with an empty value.
std::vector<std::pair<QString, QString>> SplitNameValueRows(const QString& text);

// "Details of \"<path>\"", shortened from the left while it is wider than
// the label: each step drops everything up to and including the first "/"
// of the path and puts "..." in front of what is left. A path without a
// "/" stays as it is, however wide.
QString PathLabelText(const QString& path, const std::function<bool(const QString&)>& fits);

// A caption shown on a button, check box or menu item: "&" would start a
// mnemonic there, so it is doubled to show as itself.
QString Caption(const QString& text);

}  // namespace editor_text

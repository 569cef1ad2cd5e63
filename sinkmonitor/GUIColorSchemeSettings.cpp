#include "sinkmonitor/GUIColorSchemeSettings.h"

#include <QApplication>
#include <QPalette>

#include "platform/RegistryIniFile.h"

namespace {

TGUIColorScheme::rgb_t Rgb(const QColor& c) {
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

}  // namespace

TGUIColorScheme LoadGUIColorScheme() {
    const QPalette palette = QApplication::palette();
    TGUIColorScheme scheme({Rgb(palette.color(QPalette::Base)), Rgb(palette.color(QPalette::Text))});
    const platform::RegistryIniFile settings(TGUIColorScheme::kKey);
    scheme.Load([&settings](const std::string& name) -> std::optional<std::string> {
        if (!settings.ValueExists(TGUIColorScheme::kSection, name)) return std::nullopt;
        return settings.ReadString(TGUIColorScheme::kSection, name, "");
    });
    return scheme;
}

const TGUIColorScheme& GetGUIColorScheme() {
    static const TGUIColorScheme scheme = LoadGUIColorScheme();
    return scheme;
}

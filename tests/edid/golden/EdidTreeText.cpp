#include "EdidTreeText.h"

#include "edid/core/ECCollection.h"
#include "edid/core/ECEntry.h"
#include "edid/core/EntryInfo.h"

#include <cstdio>
#include <string>

namespace edid_golden {

namespace {

// UTF-8 of the text with "\", CR, LF, TAB and the other control characters
// escaped, so that any value fits on one line.
void AppendEscaped(std::string& out, const QString& text) {
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", u);
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
}

void AppendEntry(std::string& out, ECEntry* entry, const std::string& parentPath) {
    if (entry->GetFlags() & ECT_EVENT_ONLY) return;
    std::string path = parentPath;
    if (!path.empty()) path += '/';
    AppendEscaped(path, entry->GetName());
    out += path;
    const QString value = entry->GetValueText();
    // A group's own value is mostly the list of its children's values, which
    // their own lines show; only a value of its own is written.
    if ((entry->GetFlags() & ECT_TYPE_MASK) != ECT_GROUP || value != entry->GetDetailsText()) {
        out += " = ";
        AppendEscaped(out, value);
    }
    out += '\n';
    for (int k = 0; k < entry->ChildCount(); ++k) AppendEntry(out, entry->GetChild(k), path);
}

}  // namespace

std::string TreeText(const ECCollection& collection) {
    std::string out;
    ECEntry* root = collection.Root();
    for (int k = 0; k < root->ChildCount(); ++k) AppendEntry(out, root->GetChild(k), std::string());
    return out;
}

Instance::Instance() {
    primary_.SetHostCallback(this, [](void* owner, uint32_t code, uint32_t number, const char16_t* text) {
        std::string& out = static_cast<Instance*>(owner)->messages_;
        char head[32];
        std::snprintf(head, sizeof head, "%X.%X: ", static_cast<unsigned>(code), static_cast<unsigned>(number));
        out += head;
        if (text) AppendEscaped(out, QString::fromUtf16(text));
        out += '\n';
    });
}

std::vector<uint8_t> Instance::Image() const {
    std::vector<uint8_t> out;
    const ECCollection& c = Collection();
    for (int32_t i = 0; i < c.Count(); ++i) {
        const ECRootParser* block = c.GetBlock(i);
        out.insert(out.end(), block->Bytes(), block->Bytes() + block->Length());
    }
    return out;
}

std::string LoadChanges(const ECCollection& collection) {
    std::string out;
    for (int32_t i = 0; i < collection.Count(); ++i) {
        const ECRootParser* block = collection.GetBlock(i);
        std::string line;
        for (int32_t k = 0; k < block->Length(); ++k) {
            const unsigned before = block->Reference()[k];
            const unsigned after = block->Bytes()[k];
            if (before == after) continue;
            char change[24];
            std::snprintf(change, sizeof change, " %d:%02X>%02X", static_cast<int>(k), before, after);
            line += change;
        }
        if (!line.empty()) out += "Changed on load: block " + std::to_string(i) + line + '\n';
    }
    return out;
}

std::string GoldenText(const Instance& instance) {
    std::string out;
    const std::string& messages = instance.Messages();
    size_t start = 0;
    while (start < messages.size()) {
        const size_t end = messages.find('\n', start);
        out += "Message " + messages.substr(start, end - start + 1);
        start = end + 1;
    }
    return out + LoadChanges(instance.Collection()) + TreeText(instance.Collection());
}

}  // namespace edid_golden

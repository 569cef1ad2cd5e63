#include "cts/dialogs/TSrcAboutForm.h"

#include <QFont>
#include <QShowEvent>
#include <QVBoxLayout>

#include <array>
#include <charconv>
#include <cstdint>

#include "VardekoVersion.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::PlainLabel;

namespace {

const char kProductName[] = "Vardeko";
const char kNoVersion[] = "Vx.x.x";

// A thin line between the parts of the box: a label drawn as a sunken line
// only, without its text.
QLabel* Separator(QWidget* parent, const char* name) {
    auto* line = PlainLabel(parent, name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(2);
    return line;
}

}  // namespace

TSrcAboutForm::TSrcAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SrcAboutForm"));
    setWindowTitle(QString::fromLatin1(kProductName));
    setModal(true);

    Label1 = PlainLabel(this, "Label1", QString::fromLatin1(kProductName));
    QFont bold = Label1->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    Label1->setFont(bold);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumWidth(240);
    LBL_AppVer = PlainLabel(this, "LBL_AppVer");
    LBL_AppVer->setAlignment(Qt::AlignCenter);
    Button1 = Button(this, "Button1", QStringLiteral("Close"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Separator(this, "Label2"));
    layout->addWidget(LBL_AppVer);
    layout->addWidget(Separator(this, "Label3"));
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(Button1);
    row->addStretch(1);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

QString TSrcAboutForm::VersionTextOf(const std::string& fileVersion) {
    std::array<uint16_t, 4> parts{};
    const char* p = fileVersion.data();
    const char* const end = p + fileVersion.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != '.') return QString::fromLatin1(kNoVersion);
            ++p;
        }
        if (p == end || *p < '0' || *p > '9') return QString::fromLatin1(kNoVersion);
        const auto [next, ec] = std::from_chars(p, end, parts[i]);
        if (ec != std::errc()) return QString::fromLatin1(kNoVersion);
        p = next;
    }
    if (p != end) return QString::fromLatin1(kNoVersion);
    return QStringLiteral("%1.%2.%3").arg(parts[0]).arg(parts[1]).arg(parts[2]);
}

QString TSrcAboutForm::GetVersionText() { return VersionTextOf(VARDEKO_FILE_VERSION); }

void TSrcAboutForm::FormShow() { LBL_AppVer->setText(QStringLiteral("Application Version ") + GetVersionText()); }

void TSrcAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TSrcAboutForm::Button1Click() { reject(); }

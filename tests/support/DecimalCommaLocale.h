#pragma once
// Puts the C library under a locale with a decimal comma (de_DE.UTF-8) for
// the lifetime of the object, and back under "C" after. tools/setup generates
// the locale; where it was not generated, it is built from the installed
// locale sources into a temporary folder. Failure() says why the locale did
// not take effect (empty when it did): the locale tests fail then, they do
// not skip.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        if (!std::setlocale(LC_ALL, kName) && !BuildLocally()) return;
        char probe[16];
        std::snprintf(probe, sizeof probe, "%g", 2.2);
        if (std::strcmp(probe, "2,2") != 0) failure_ = std::string("2.2 prints as ") + probe + " under " + kName;
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, "C");
        if (ownLocPath_) qunsetenv("LOCPATH");
    }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    const std::string& Failure() const { return failure_; }

private:
    static constexpr const char* kName = "de_DE.UTF-8";

    bool BuildLocally() {
        dir_ = std::make_unique<QTemporaryDir>();
        if (!dir_->isValid()) {
            failure_ = "no temporary folder for the locale";
            return false;
        }
        const int rc = QProcess::execute(QStringLiteral("localedef"),
                                         {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                          QStringLiteral("UTF-8"), dir_->filePath(QString::fromLatin1(kName))});
        if (rc != 0) {
            failure_ = std::string(kName) + " is not generated and localedef cannot build it (exit " +
                       std::to_string(rc) + "): run tools/setup";
            return false;
        }
        qputenv("LOCPATH", dir_->path().toLocal8Bit());
        ownLocPath_ = true;
        if (!std::setlocale(LC_ALL, kName)) {
            failure_ = std::string("the locally built ") + kName + " does not load";
            return false;
        }
        return true;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    bool ownLocPath_ = false;
    std::string failure_;
};

#pragma once
// The editor's log (LB_Log) as the collection sees it: one row per line.

#include "edid/core/ECViews.h"

#include <QListWidget>
#include <QPointer>

class ECLogListWidget : public ECLogList {
public:
    explicit ECLogListWidget(QListWidget* list) : list_(list) {}

    int Count() const override { return list_ ? list_->count() : 0; }
    void AppendLine(const QString& line) override {
        if (list_) list_->addItem(line);
    }
    void DeleteFirstLine() override {
        if (list_ && list_->count() > 0) delete list_->takeItem(0);
    }
    void SelectLastLine() override {
        if (!list_ || list_->count() == 0) return;
        list_->setCurrentRow(list_->count() - 1);
        list_->scrollToBottom();
    }

private:
    QPointer<QListWidget> list_;
};

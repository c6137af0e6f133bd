// What the window tests share: the toolkit's test tools, an operator at the
// message boxes, files, and looks at a dialog's controls.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dialogs/dialog_builder.h"
#include "dialogs/file_picker.h"
#include "dialogs/settings_dialog.h"
#include "tests/support/fake_window.h"
#include "tests/support/files.h"
#include "tests/support/message_log.h"

namespace tavirel::test {

// Which of the controls are enabled, as 0s and 1s.
inline std::string Enabled(TemplateDialog* d, std::initializer_list<int> ids) {
    std::string s;
    for (int id : ids)
        s += d->Item(id)->isEnabled() ? '1' : '0';
    return s;
}

inline QString Entries(const QComboBox* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries.join('|');
}

// The first n controls that Tab stops at, from `from` on.
inline std::string TabOrder(QWidget* from, int n) {
    QStringList order;
    for (QWidget* w = from; w != nullptr && order.size() < n; w = w->nextInFocusChain())
        if (!w->objectName().isEmpty() && (w->focusPolicy() & Qt::TabFocus) != 0)
            order << w->objectName().mid(4);
    return order.join(' ').toStdString();
}

// A fresh folder as the working one, and the operator at the message boxes.
struct InFolder {
    InFolder() { QDir::setCurrent(folder.path()); }
    ~InFolder() {
        SetFilePicker(nullptr);
        QDir::setCurrent(saved);
    }
    QString Path(const QString& name) const { return folder.filePath(name); }

    const QString saved = QDir::currentPath();
    QTemporaryDir folder;
    MessageLog log;
    const QStringList& boxes = log.shown;
};

struct FakeSettingsHost : SettingsHost {
    QWidget* Owner() override { return &owner; }
    TerminalWindow* Terminal() override { return &window; }
    bool ConnectItemEnabled() override { return state.connected.load() == 0; }
    void ApplyTerminalFont() override { ++fontsApplied; }

    QWidget owner;
    TtyState state;
    FakeWindow window{&state};
    int fontsApplied = 0;
    MessageLog log;
};

// Neither Escape nor the close box ends the dialog: only the button `exit`.
inline void ExpectOnlyClosesBy(TemplateDialog* d, int exit) {
    d->show();
    QTest::keyClick(d, Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    QTest::mouseClick(d->ItemAs<QAbstractButton>(exit), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

}  // namespace tavirel::test

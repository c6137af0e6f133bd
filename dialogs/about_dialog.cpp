#include "dialogs/about_dialog.h"

#include <sys/utsname.h>

#include <QLabel>
#include <QPixmap>
#include <charconv>
#include <cstdio>
#include <memory>

#include "resources/images.h"

namespace tavirel {

namespace {

// Fills a control's own text, which is a printf format; the result is cut to
// the 80 characters the line ever had room for.
void FormatItem(TemplateDialog& dialog, int id, int a, int b, int c) {
    const QByteArray format = dialog.ItemText(id).toLatin1();
    char line[81];
    // The format is the text of our own built-in template, never outside input.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(line, sizeof line, format.constData(), a, b, c);
#pragma GCC diagnostic pop
    dialog.SetItemText(id, QString::fromLatin1(line));
}

int LeadingNumber(std::string_view& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc())
        return 0;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

}  // namespace

KernelVersion ParseKernelRelease(std::string_view release) {
    KernelVersion version;
    version.major = LeadingNumber(release);
    if (!release.empty() && release.front() == '.') {
        release.remove_prefix(1);
        version.minor = LeadingNumber(release);
    }
    return version;
}

KernelVersion RunningKernelVersion() {
    utsname names{};
    if (uname(&names) != 0)
        return {};
    return ParseKernelRelease(names.release);
}

QString AboutText() {
    return QStringLiteral(
        "Tavirel - a capture tool for BAUDOT art\r\n"
        "\r\n"
        "Tavirel is free software under the MIT licence: anyone may use, copy, change and pass "
        "it on, free of charge, as long as the copyright notice and the licence go with it. It "
        "comes without any warranty. Updated copies are published with the source code of the "
        "project; the manual is \"man tavirel\".\r\n"
        "\r\n"
        "Usage:\r\n"
        "The baud rate, data bits, stop bits, parity, port, RTS/CTS handshaking, DTR/DSR "
        "handshaking, and XON/XOFF handshaking can be changed under the Settings menu item.\r\n"
        "\r\n"
        "Once the communications settings are set, the Action menu item can be selected to "
        "connect or disconnect the program\r\n"
        "\r\n"
        "Written by the Tavirel developers\r\n"
        "Reports and questions: through the project's issue tracker");
}

TemplateDialog* BuildAboutDialog(QWidget* owner) {
    TemplateDialog* dialog = BuildDialog(kAboutDialog, owner);
    if (dialog == nullptr)
        return nullptr;

    // The picture stands where the icon would: the icon is never shown.
    dialog->Item(IDC_ABOUT_ICON)->hide();
    auto* picture = new QLabel(dialog);
    picture->setObjectName(QStringLiteral("terminalPicture"));
    picture->setPixmap(QPixmap(QString::fromLatin1(kTerminalBitmapPath)));
    picture->setGeometry(10, 10, 64, 64);
    picture->stackUnder(dialog->Item(IDC_ABOUT_ICON));

    // The first line shows the system's version, not the program's.
    const KernelVersion version = RunningKernelVersion();
    FormatItem(*dialog, IDC_ABOUT_VERSION, version.major, version.minor, 0);
    dialog->SetItemText(IDC_ABOUT_TEXT, AboutText());
    FormatItem(*dialog, IDC_ABOUT_AUTHOR, 3, 10, 0);

    // Only "OK" (or Enter) closes the box; the close box and Escape do not.
    QObject::connect(dialog, &TemplateDialog::Command, dialog, [dialog](int id) {
        if (id == IDOK)
            dialog->End(1);
    });
    return dialog;
}

int RunAboutDialog(QWidget* owner) {
    const std::unique_ptr<TemplateDialog> dialog(BuildAboutDialog(owner));
    return dialog == nullptr ? 0 : dialog->exec();
}

}  // namespace tavirel

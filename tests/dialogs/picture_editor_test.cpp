#include "dialogs/picture_editor.h"

#include <sys/stat.h>

#include <QFile>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QImage>
#include <QTextCursor>

#include "dialogs/paper_preview.h"
#include "link/line_settings.h"
#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

struct PictureEditorTest : ::testing::Test, test::InFolder {};

// Lone line feeds are mended in one edit that one undo takes back.
TEST_F(PictureEditorTest, PreviewLoadSaveAndRulerFollowTheEditorOnlyQuitCloses) {
    LineSettings line;
    std::optional<QString> picked;
    SetFilePicker([&](QWidget*, const FilePickRequest&) { return picked; });
    const std::unique_ptr<TemplateDialog> dialog(BuildPictureEditor(nullptr, &line));
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    const auto click = [&](int id) {
        QTest::mouseClick(dialog->ItemAs<QPushButton>(id), Qt::LeftButton);
    };
    auto* editor = dialog->ItemAs<QPlainTextEdit>(IDC_PICTURE_TEXT);
    auto* button = dialog->findChild<QPushButton*>("previewButton");
    ASSERT_NE(button, nullptr);
    const QRect legend(DialogUnitsToPixels(dialog->Template(), 115, 41),
                       DialogUnitsToPixels(dialog->Template(), 224, 62));
    EXPECT_TRUE(QRect(legend.right() + 1, legend.top(), 9999, legend.height())
                    .contains(button->geometry()));
    QTest::mouseClick(button, Qt::LeftButton);
    auto* preview = dialog->findChild<PaperPreview*>();
    ASSERT_TRUE(preview != nullptr && preview->isVisible());

    editor->setFocus();
    QTest::keyClicks(editor, "ab^cd^");
    QTRY_COMPARE(preview->CurrentPaper().RowText(1), std::string("  CD"));
    EXPECT_GT(preview->View()->height(), preview->View()->CellRect(2, 0).bottom());
    EXPECT_EQ(preview->findChild<QLabel*>("summary")->text(),  // LTRS A B LF C D LF
              "3 lines, 7 characters on the line (1 letters and figures shifts among them).\n"
              "Print time 2 s at 45 baud, 7.5 bits a character.");
    EXPECT_TRUE(preview->findChild<QLabel*>("warnings")->text().startsWith("2 line feeds"));

    preview->findChild<QComboBox*>()->setCurrentIndex(0);
    EXPECT_EQ(preview->CurrentPaper().columns, 68);

    QTest::mouseClick(preview->findChild<QPushButton*>("putCarriageReturns"), Qt::LeftButton);
    EXPECT_EQ(editor->toPlainText(), "ab<^cd<^");
    EXPECT_EQ(preview->CurrentPaper().RowText(1), "CD");
    editor->undo();

    // Edits anywhere, and what the editor keeps its own way (a line
    // separator, a no-break space), give the paper of the whole text.
    auto whole = [&] {
        preview->Refresh();
        return preview->CurrentPaper() ==
               LayOutPaper(editor->toPlainText().toStdU16String(),
                           {preview->CurrentPaper().columns, true, CharacterTime(line)});
    };
    const struct {
        int at;
        QString text;
    } edits[] = {{0, "X"},
                 {7, QString(QChar::LineSeparator) + QChar(QChar::Nbsp) + "e<^"},
                 {4, "\n<"},
                 {1, QString::fromUtf16(u"\U0001F41F")}};
    for (const auto& edit : edits) {
        QTextCursor cursor(editor->document());
        cursor.setPosition(edit.at);
        cursor.insertText(edit.text);
        EXPECT_TRUE(whole()) << edit.text.toStdString();
    }
    EXPECT_TRUE(preview->findChild<QLabel*>("warnings")
                    ->text()
                    .contains(QString::fromUtf16(u"line 1 of the editor: \"\U0001F41F\" cannot")));
    for (std::size_t undo = 0; undo < std::size(edits); ++undo) {
        editor->undo();
        EXPECT_TRUE(whole()) << undo;
    }
    EXPECT_EQ(editor->toPlainText(), "ab^cd^");

    // A pick is taken, missing or not, when ".mod" has room; text only from a file.
    const QString file = Path(test::WriteFile("pic.txt", "ab\tc\r\nx%<").c_str());
    const QString cat = Path("CAT.mod"), atLimit = Path("") + QString(251 - Path("").size(), u'p');
    const struct {
        std::optional<QString> pick;
        QString loaded, box;  // box: how the one box starts
    } loads[] = {
        {file, file, ""},
        {cat, cat, "E File doesn't exist!: " + cat},
        {atLimit + 'p', cat,
         "E Path too long!: The path is longer than 251 characters:\n" + atLimit},
        {std::nullopt, cat, ""},
        {atLimit, atLimit, "E File doesn't exist!: " + atLimit},
    };
    for (const auto& r : loads) {
        SCOPED_TRACE(r.pick.value_or("cancel").toStdString());
        log.shown.clear();
        picked = r.pick;
        click(IDC_LOAD_FILE);
        EXPECT_EQ(dialog->ItemText(IDC_PICTURE_TEXT), "ABC<<^\r\nX<<\r\n");
        EXPECT_EQ(dialog->ItemText(IDC_LOADED_PATH), r.loaded);
        EXPECT_EQ(dialog->ItemText(IDC_SAVE_PATH), r.loaded + ".mod");
        EXPECT_EQ(boxes.size(), r.box.isEmpty() ? 0 : 1);
        EXPECT_EQ(boxes.join('|').left(r.box.size()), r.box);
    }

    // Anything the loaded-path field does empties the save path.
    QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(dialog->Item(IDC_LOADED_PATH), &focus);
    EXPECT_EQ(dialog->ItemText(IDC_SAVE_PATH), "");

    // The whole picture is saved, or the box says why not.
    auto save = [&](const QString& path) {
        dialog->SetItemText(IDC_SAVE_PATH, path);
        click(IDC_SAVE_FILE);
    };
    editor->setPlainText("AB\nCD<^a%b");
    const QString pipe = Path("pipe"), in = folder.path() + '/';
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString done = "N File Saved: Task complete";
    const struct {
        QString path, shown;  // shown: how the one box starts
    } rows[] = {
        {Path("out.mod"), done},
        {"/dev/full", "E Cannot Write File: /dev/full\n"},
        {"", "E Cannot Open Write File: "},
        {in + QString(256 - in.size(), u'q'), "E Path too long!: "},
        {in + QString(255 - in.size(), u'q'), done},
        {pipe,
         "E Cannot Open Write File: " + pipe + "\nThis is a pipe with nobody at its other end."},
    };
    for (const auto& r : rows) {
        log.shown.clear();
        EXPECT_TRUE(test::ReturnsAtOnce(pipe.toStdString(), [&] { save(r.path); }));
        EXPECT_TRUE(boxes.size() == 1 && boxes[0].startsWith(r.shown)) << log.Joined();
    }
    EXPECT_FALSE(QFile::exists(rows[3].path));
    EXPECT_EQ(test::ReadFile("out.mod"), std::string("ABCD\r\nA\0B\0", 10));

    // Far past the old 64 KB.
    const QByteArray big = QByteArray("AB\r\n").repeated(40'000);
    picked = Path(test::WriteFile("big.txt", big.data()).c_str());
    click(IDC_LOAD_FILE);
    save(Path("big.mod"));
    EXPECT_EQ(test::ReadFile("big.mod"),
              QByteArray("AB\r\r\n").repeated(40'000).append('\0').toStdString());

    const QList<QLabel*> rulers = dialog->findChildren<QLabel*>("ruler");
    ASSERT_EQ(rulers.size(), 2);
    EXPECT_EQ(rulers[0]->font(), editor->font());
    editor->setPlainText(QString(49, u'X'));
    editor->moveCursor(QTextCursor::End);
    const int textX = editor->viewport()->mapTo(dialog.get(), editor->cursorRect().topLeft()).x();
    const int rulerX =
        rulers[1]->x() + rulers[1]->indent() +
        QFontMetrics(rulers[1]->font()).horizontalAdvance(rulers[1]->text().left(49));
    EXPECT_NEAR(textX, rulerX, 1);

    click(IDC_EDITOR_OK);
    test::ExpectOnlyClosesBy(dialog.get(), IDC_EDITOR_EXIT);
}

// X then O holds the ink of both; a letter struck twice is darker than once.
TEST(PaperViewTest, OverstrikesAddTheirInk) {
    ASSERT_GE(QFontDatabase::addApplicationFont(
                  QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf")),
              0);
    auto ink = [](const char16_t* text) {
        static Paper paper;
        paper = LayOutPaper(text, {});
        PaperView view;
        view.SetPaper(&paper);
        return view.grab(view.CellRect(0, 0).toAlignedRect()).toImage();
    };
    const QImage x = ink(u"X"), o = ink(u"O"), both = ink(u"X<O"), twice = ink(u"O<O");
    int inkX = 0, inkO = 0, lost = 0, once = 0, again = 0;
    for (int i = 0; i < x.width() * x.height(); ++i) {
        const auto at = [&](const QImage& image) {
            const QRgb p = image.pixel(i % x.width(), i / x.width());
            return 765 - qRed(p) - qGreen(p) - qBlue(p);
        };
        inkX += at(x) > 300;
        inkO += at(o) > 300;
        lost += (at(x) > 300 && at(both) < at(x) - 8) + (at(o) > 300 && at(both) < at(o) - 8);
        once += at(o);
        again += at(twice);
    }
    EXPECT_GT(std::min(inkX, inkO), 10);
    EXPECT_EQ(lost, 0);
    EXPECT_GT(again, once * 11 / 10);
}

}  // namespace
}  // namespace tavirel

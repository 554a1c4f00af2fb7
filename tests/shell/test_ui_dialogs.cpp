// The Qt dialogs behind the ui interface, answered by a timer that plays the operator.
#include "platform/ui.h"

#include "formtest.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Runs `operate` on the modal dialog once it is open; `operate` must end it.
const auto whenOpen = formtest::whenModal;

QPushButton* buttonWithText(QWidget* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

struct DialogCase {
    bool withCancel;
    const char* press; // button text, or null to close the box through its frame
    ui::Answer expected;
};

TEST(UiDialogs, ConfirmationsShowJapaneseButtons)
{
    ASSERT_FALSE(ui::isScripted());
    const DialogCase cases[] = {
        {false, "はい(&Y)", ui::Answer::Yes},       {false, "いいえ(&N)", ui::Answer::No},
        {false, nullptr, ui::Answer::No},           {true, "キャンセル", ui::Answer::Cancel},
        {true, "はい(&Y)", ui::Answer::Yes},        {true, nullptr, ui::Answer::Cancel},
    };
    for (const DialogCase& c : cases) {
        QStringList texts;
        QString title;
        whenOpen([&](QWidget* dialog) {
            title = dialog->windowTitle();
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                texts << b->text();
            if (c.press)
                buttonWithText(dialog, QString::fromUtf8(c.press))->click();
            else
                dialog->close();
        });
        ui::Answer got = c.withCancel ? ui::confirmYesNoCancel("入力した図形を保存しますか？")
                                      : ui::confirmYesNo("入力した図形を保存しますか？");
        EXPECT_EQ(got, c.expected) << (c.press ? c.press : "closed");
        EXPECT_EQ(title, QStringLiteral("確認"));
        QStringList expectedTexts{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")};
        if (c.withCancel)
            expectedTexts << QStringLiteral("キャンセル");
        texts.sort();
        expectedTexts.sort();
        EXPECT_EQ(texts, expectedTexts);
    }
}

TEST(UiDialogs, MessageAndInputQuery)
{
    QString shown;
    whenOpen([&](QWidget* dialog) {
        shown = static_cast<QMessageBox*>(dialog)->text();
        static_cast<QMessageBox*>(dialog)->button(QMessageBox::Ok)->click();
    });
    ui::showMessage("ERR OPEN /tmp/a.ZKI");
    EXPECT_EQ(shown, QStringLiteral("ERR OPEN /tmp/a.ZKI"));

    std::string value = "3.000";
    QString offered;
    whenOpen([&](QWidget* dialog) {
        auto* query = static_cast<QInputDialog*>(dialog);
        offered = query->textValue();
        EXPECT_NE(buttonWithText(dialog, QStringLiteral("キャンセル")), nullptr);
        query->setTextValue(QStringLiteral("12.5"));
        query->accept();
    });
    EXPECT_TRUE(ui::inputQuery("距離入力(P-01)", "距離 (M):", value));
    EXPECT_EQ(offered, QStringLiteral("3.000"));
    EXPECT_EQ(value, "12.5");

    whenOpen([](QWidget* dialog) { static_cast<QInputDialog*>(dialog)->reject(); });
    EXPECT_FALSE(ui::inputQuery("距離入力(P-02)", "距離 (M):", value));
    EXPECT_EQ(value, "12.5");
}

// Qt's own dialogs in Japanese from Qt's translations; the system's own texts stay its own.
TEST(UiDialogs, QtsStandardDialogsSpeakJapanese)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ja.qm")))
        GTEST_SKIP() << "Qt's Japanese translations are not installed in " << folder.toStdString();
    ASSERT_TRUE(ui::loadQtTranslations());

    QPrinter printer;
    struct Case {
        const char* what;
        std::function<QDialog*()> make;
        const char* title;
        const char* button;
    };
    const Case cases[] = {
        {"print", [&] { return new QPrintDialog(&printer); }, "印刷", "印刷(&P)"},
        {"page set-up", [&] { return new QPageSetupDialog(&printer); }, "ページ設定", "キャンセル"},
        {"colour", [] { return new QColorDialog; }, "色を選択", "キャンセル"},
        {"file", [] {
             auto* d = new QFileDialog;
             d->setOption(QFileDialog::DontUseNativeDialog);
             return d;
         }, "開く", "キャンセル"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QDialog> dialog(c.make());
        EXPECT_EQ(dialog->windowTitle().toStdString(), c.title) << c.what;
        EXPECT_NE(buttonWithText(dialog.get(), QString::fromUtf8(c.button)), nullptr) << c.what;
    }
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));

    QStringList texts;
    whenOpen([&](QWidget* dialog) {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            texts << b->text();
        buttonWithText(dialog, QStringLiteral("キャンセル"))->click();
    });
    EXPECT_EQ(ui::confirmYesNoCancel("入力した図形を保存しますか？"), ui::Answer::Cancel);
    QStringList own{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"), QStringLiteral("キャンセル")};
    texts.sort();
    own.sort();
    EXPECT_EQ(texts, own);
}

} // namespace

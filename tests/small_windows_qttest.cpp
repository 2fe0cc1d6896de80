// The small windows: the message box's answers and DPI check, the about window's version, the
// skin picker's choices (notified, recorded in main.ini) and the background they give "root".
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

#include "about_window.h"
#include "app/languages.h"
#include "app/skin_change.h"
#include "app/skin_settings.h"
#include "message_box.h"
#include "platform/trace.h"
#include "skin.h"
#include "skin_frame.h"

using qm::app::SkinChanged;
using qm::shell::CMsgWnd;
using qm::shell::CSkinFrame;

namespace {

// Answers the message box that the next ShowMessageBox opens, once its loop runs: answer gets
// the box (or null when none is open, and then nothing can close it but the fallback below).
void whenBoxOpens(std::function<void(CMsgWnd*)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto* box = qobject_cast<CMsgWnd*>(QApplication::activeModalWidget());
        answer(box);
        // Whatever happened, the box must not wait for a user.
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* open = qobject_cast<CMsgWnd*>(window); open != nullptr && open->isVisible()) {
                qWarning("the answer left a box open");
                open->done(-1);
            }
        }
    });
}

QAbstractButton* button(QWidget* root, const char* name) {
    return root->findChild<QAbstractButton*>(QString::fromLatin1(name));
}

// Traces written while body runs.
QString tracesOf(const std::function<void()>& body) {
    QTemporaryFile file;
    if (!file.open())
        return {};
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file.handle(), 2);
    qm::setTraceEnabled(true);
    body();
    qm::setTraceEnabled(false);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

QColor pixelAt(QWidget* widget, QPoint at) {
    return widget->grab().toImage().pixelColor(at);
}

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

}  // namespace

class SmallWindowsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_Home;
    std::unique_ptr<qm::app::Languages> m_Languages;

    QString mainIni() const {
        return m_Home.filePath(QStringLiteral("XDG_DATA_HOME/Quillmark/main.ini"));
    }
    QString readMainIni() const {
        QFile file(mainIni());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_Home.isValid());
        for (const char* variable : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"})
            qputenv(variable, m_Home.filePath(variable).toUtf8());
        m_Languages = std::make_unique<qm::app::Languages>(qm::app::Languages::Installed());
        int english = -1;
        for (std::size_t i = 0; i < m_Languages->list().size(); ++i) {
            if (m_Languages->list()[i].name == "en_US")
                english = static_cast<int>(i);
        }
        QVERIFY(m_Languages->SetLanguage(english));
    }

    void messageBoxAnswers_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("control");  // a button's name, or "Escape"
        QTest::addColumn<int>("answer");
        QTest::newRow("confirm") << 0 << "confirm_btn" << 1;
        QTest::newRow("close button") << 0 << "closebtn" << 0;
        QTest::newRow("cancel") << 1 << "cancel_btn" << 0;
        QTest::newRow("confirm of two") << 1 << "confirm_btn" << 1;
        QTest::newRow("Escape") << 1 << "Escape" << 0;
    }
    void messageBoxAnswers() {
        QFETCH(int, mode);
        QFETCH(QString, control);
        QFETCH(int, answer);
        QWidget parent;
        parent.resize(600, 400);
        parent.show();
        bool answered = false;
        whenBoxOpens([&](CMsgWnd* box) {
            QVERIFY(box != nullptr);
            QCOMPARE(box->parentWidget(), &parent);
            QCOMPARE(box->findChild<QLabel*>("MessageTitle")->text(), QString("Notice"));
            QCOMPARE(box->findChild<QLabel*>("MessageText")->text(), QString("plain text"));
            QCOMPARE(button(box, "cancel_btn")->isVisible(), mode == 1);
            QVERIFY(button(box, "confirm_btn")->isVisible());
            if (control == "Escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else
                button(box, control.toLatin1().constData())->click();
            answered = true;
        });
        QCOMPARE(qm::shell::ShowMessageBox(&parent, "message_title_text", "plain text", 96, 0, mode,
                                           *m_Languages),
                 answer);
        QVERIFY(answered);
    }

    void messageBoxDpi() {
        int dpi = 0;
        const QString traces = tracesOf([&] {
            whenBoxOpens([&](CMsgWnd* box) {
                QVERIFY(box != nullptr);
                dpi = box->Dpi();
                button(box, "confirm_btn")->click();
            });
            QCOMPARE(qm::shell::ShowMessageBox(nullptr, {}, {}, 100, 0, 0, *m_Languages), 1);
        });
        QCOMPARE(dpi, 96);
        QVERIFY2(traces.contains("MSG_WND DPI SET ERROR"), qPrintable(traces));
        CMsgWnd box(nullptr, *m_Languages);
        box.SetDpi(144);
        QCOMPARE(box.Dpi(), 144);
    }

    void messageBoxWithoutControls() {
        // A skin whose message box layout holds none of the named controls.
        QTemporaryDir data;
        QVERIFY(QDir(data.path()).mkpath("skin"));
        QFile::copy(qm::shell::skinFolder() + "main.ui", data.filePath("skin/main.ui"));
        QFile layout(data.filePath("skin/MsgWnd.ui"));
        QVERIFY(layout.open(QIODevice::WriteOnly));
        layout.write(R"(<ui version="4.0"><class>MsgWnd</class>
            <widget class="QWidget" name="msg_root"><widget class="QLabel" name="other"/></widget>
            </ui>)");
        layout.close();
        qputenv("QUILLMARK_DATA_DIR", data.path().toUtf8());
        whenBoxOpens([](CMsgWnd* box) {
            QVERIFY(box != nullptr);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        const int answer = qm::shell::ShowMessageBox(nullptr, "message_title_text", "text", 96, 0,
                                                     1, *m_Languages);
        qunsetenv("QUILLMARK_DATA_DIR");
        QCOMPARE(answer, 0);
    }

    void aboutWindowShowsTheVersion() {
        QWidget owner;
        owner.show();
        auto* about = qm::shell::CAboutWnd::Open(&owner, *m_Languages, "1.2.3");
        QCOMPARE(about->findChild<QLabel*>("software_ver_label")->text(),
                 QString("Software version: 1.2.3"));
        QCOMPARE(qm::shell::CAboutWnd::Open(&owner, *m_Languages, "1.2.3"), about);
        QPointer<qm::shell::CAboutWnd> guard = about;
        button(about, "closebtn")->click();
        QVERIFY(!about->isVisible());
        QTRY_VERIFY(guard.isNull());
    }

    void skinPickerChoices() {
        QFile::remove(mainIni());
        qm::app::SkinChangeObserver changes;
        std::vector<SkinChanged> seen;
        changes.Subscribe([&seen](const SkinChanged& change) { seen.push_back(change); });
        QWidget owner;
        owner.show();
        CSkinFrame* frame = CSkinFrame::Open(&owner, changes, *m_Languages);
        QCOMPARE(CSkinFrame::Open(&owner, changes, *m_Languages), frame);
        auto* tab = frame->findChild<QStackedWidget*>("skin_tab");
        button(frame, "skin_color")->click();
        QCOMPARE(tab->currentIndex(), 1);
        button(frame, "skin_image")->click();
        QCOMPARE(tab->currentIndex(), 0);

        // The user's own picture: a cancelled dialog changes nothing, nor does a file that is
        // no picture; a picture is notified with its full path and not recorded.
        QString picked;
        frame->SetFileChooser([&picked](QWidget*) { return picked; });
        button(frame, "skin_Custom")->click();
        picked = m_Home.filePath("notes.png");
        QFile notes(picked);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a picture");
        notes.close();
        button(frame, "skin_Custom")->click();
        QVERIFY(seen.empty());
        QVERIFY(!QFile::exists(mainIni()));
        picked = m_Home.filePath("mine.png");
        QImage(4, 4, QImage::Format_RGB32).save(picked);
        button(frame, "skin_Custom")->click();
        QCOMPARE(seen.size(), std::size_t{1});
        QVERIFY(!seen.back().isColour);
        QCOMPARE(QString::fromStdString(seen.back().imagePath), picked);
        QVERIFY(!QFile::exists(mainIni()));

        // An image of the skin: its user data, FLAGS=1.
        const auto images = frame->findChildren<QAbstractButton*>("skin_image_btn");
        QVERIFY(images.size() >= 2);
        const QString image = images[1]->property("userdata").toString();
        QVERIFY(QFile::exists(qm::shell::skinFolder() + image));
        images[1]->click();
        QCOMPARE(QString::fromStdString(seen.back().imagePath), image);
        QCOMPARE(readMainIni(), "[SKINIMAGE]\nFLAGS=1\nIMAGE=" + image + "\n");

        // A colour: the button's colour as ARGB, nothing recorded.
        const auto colours = frame->findChildren<QAbstractButton*>("skin_color_btn");
        QVERIFY(colours.size() >= 2);
        colours[1]->click();
        QVERIFY(seen.back().isColour);
        QCOMPARE(seen.back().colour, QColor(colours[1]->property("bkcolor").toString()).rgba());
        QCOMPARE(readMainIni(), "[SKINIMAGE]\nFLAGS=1\nIMAGE=" + image + "\n");

        // Reset: the default image, FLAGS=0.
        button(frame, "skin_reset")->click();
        QVERIFY(!seen.back().isColour);
        QCOMPARE(seen.back().imagePath, std::string("common/background.png"));
        QCOMPARE(readMainIni(), QString("[SKINIMAGE]\nFLAGS=0\nIMAGE=common/background.png\n"));
        QCOMPARE(seen.size(), std::size_t{4});
        frame->close();
    }

    void skinChangeSetsTheBackground() {
        QWidget window;
        window.setStyleSheet(qm::shell::skinStyleSheet());
        auto* root = new QWidget(&window);
        root->setObjectName("root");
        root->setGeometry(0, 0, 200, 100);
        window.resize(200, 100);
        window.show();
        const QPoint middle(100, 50);

        qm::shell::ApplySkinChange(root, {true, 0xff336699, {}});
        QCOMPARE(pixelAt(root, middle), QColor(0x33, 0x66, 0x99));

        // The user's own picture, in a folder whose name needs quoting.
        QTemporaryDir pictures;
        const QString folder = pictures.filePath(R"(my "own" (pic)tures\ x)");
        QVERIFY(QDir().mkpath(folder));
        QImage solid(8, 8, QImage::Format_RGB32);
        solid.fill(QColor(0x20, 0xa0, 0x40));
        QVERIFY(solid.save(folder + "/solid.png"));
        qm::shell::ApplySkinChange(root, {false, 0, (folder + "/solid.png").toStdString()});
        QCOMPARE(pixelAt(root, middle), QColor(0x20, 0xa0, 0x40));

        // An image of the skin, relative to its folder (a vertical gradient: the top row).
        qm::shell::ApplySkinChange(root, {false, 0, "common/background.png"});
        const QImage shipped(qm::shell::skinFolder() + "common/background.png");
        QVERIFY(!shipped.isNull());
        QVERIFY(near(pixelAt(root, {100, 0}), shipped.pixelColor(shipped.width() / 2, 0)));
    }
};

QTEST_MAIN(SmallWindowsTest)
#include "small_windows_qttest.moc"

// CSkinFrame: the skin picker ("skin.ui"). The user replaces the main window's background with
// one of the skin's images ("skin_image_btn"), a colour ("skin_color_btn"), the default image
// ("skin_reset") or a picture of their own ("skin_Custom"); every choice goes to the skin change
// subscribers, and image choices of the skin are recorded in "main.ini".
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

#include "app/skin_change.h"

namespace qm::app {
class Languages;
}

namespace qm::shell {

// The image of a reset, relative to the skin folder.
inline constexpr const char* kDefaultSkinImage = "common/background.png";

class CSkinFrame final : public QDialog {
    Q_OBJECT

public:
    // Asks for the user's own picture; an empty path when cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    // changes and languages must outlive the window. mainIni: the file the image choices go to.
    CSkinFrame(QWidget* owner, app::SkinChangeObserver& changes, const app::Languages& languages,
               std::string mainIni);

    // Opens the skin picker of owner (recording in the user's "main.ini"), modal and centred over
    // it, or brings the one already open to the front (there is at most one). It deletes itself
    // when closed.
    static CSkinFrame* Open(QWidget* owner, app::SkinChangeObserver& changes,
                            const app::Languages& languages);

    // Replaces the file dialog of "skin_Custom" (tests).
    void SetFileChooser(FileChooser chooser) { m_ChooseFile = std::move(chooser); }
    // Sets every text again from the current language (after a language change).
    void ApplyTexts();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showPage(int page);
    void chooseImage(const QString& image, int flags);
    void chooseColour(const QColor& colour);
    void chooseOwnPicture();

    app::SkinChangeObserver& m_Changes;
    const app::Languages& m_Languages;
    std::string m_MainIni;
    QWidget* m_Root = nullptr;
    FileChooser m_ChooseFile;
};

// Sets the background of root (the main window's "root") to the change's colour or image, by a
// style sheet rule on root's object name: a colour clears the image and an image the colour. A
// relative image path is taken from the skin folder.
void ApplySkinChange(QWidget* root, const app::SkinChanged& change);

}  // namespace qm::shell

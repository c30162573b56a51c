#pragma once

#include <QObject>

namespace quillbox::test {

// The window as it stands before any ROM is opened: frame, controls, menus, fonts, images.
class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void windowFrameIsFixed();
    void controlsStandWhereDesigned_data();
    void controlsStandWhereDesigned();
    void startUpEnabledStates_data();
    void startUpEnabledStates();
    void startUpListContents();
    void tabOrderFollowsTheDesign();
    void menusHaveTheirEntries();
    void captionsFitTheirControls();
    void valuesFitTheirControls_data();
    void valuesFitTheirControls();
    void bannerIsCutOffByItsBox();
    void iconIsTwentyFourPixelsOfAPalette();
    void descriptionBoxHasNoScrollBars();
    void frameCaptionsUseTheTitleBarColour();
    void recordPanelHasARowPerCodedField();
    void effectPanelHasAControlPerMember();
};

}  // namespace quillbox::test

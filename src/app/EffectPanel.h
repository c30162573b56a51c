#pragma once

#include "items/effect/ItemEffect.h"
#include "items/effect/ItemEffects.h"

#include <QGroupBox>
#include <QStringList>

#include <vector>

class QLabel;
class QPushButton;

namespace quillbox {

// "Effect when used": what the item does when used on a Pokémon, in words and as a control for
// each member of the effect record, and the button that saves them.
class EffectPanel : public QGroupBox {
    Q_OBJECT
public:
    EffectPanel(QWidget* parent, const QRect& geometry);

    // The item's effect; `sharedNames` names the other items whose entries name the same record.
    void Show(const ItemEffectView& view, const QStringList& sharedNames);
    // No effect to show or change: every control off and why in their place.
    void ShowUnavailable(const QString& reason);
    // The effect the controls hold over `shown`, each member set through the core from its
    // control's text; refuses, naming the member, what the record cannot hold.
    Result<ItemEffect> Effect(const ItemEffect& shown) const;
    // The controls in their order, the save button last.
    std::vector<QWidget*> Controls() const;

signals:
    void saveClicked();

private:
    void EnableControls(bool on);

    QLabel* words_ = nullptr;
    QPushButton* save_ = nullptr;
    std::vector<QWidget*> controls_;  // one per member of EffectFields(), in its order
};

}  // namespace quillbox

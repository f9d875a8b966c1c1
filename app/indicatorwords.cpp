#include "app/indicatorwords.h"

#include "monitor/iopanel.h"

#include <QEvent>
#include <QHash>
#include <QLabel>

namespace {

using IoPanel::Indicator;

struct Described
{
    Indicator indicator;
    int number;
};

// Repainting an indicator means a new style sheet, which sends a polished
// label a style change; the words are renewed then.
class Follower : public QObject
{
public:
    explicit Follower(QObject *parent) : QObject(parent) {}

    void add(QLabel *label, Indicator indicator, int number = 0)
    {
        if (!label)
            return;
        m_described.insert(label, {indicator, number});
        label->installEventFilter(this);
        describe(label);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            describe(static_cast<QLabel *>(watched));
        return false;
    }

private:
    void describe(QLabel *label) const
    {
        const Described d = m_described.value(label);
        const QString words = IoPanel::inWords(d.indicator, d.number, label->styleSheet());
        if (label->toolTip() != words)
            label->setToolTip(words);
        if (label->accessibleName() != words)
            label->setAccessibleName(words);
    }

    QHash<QObject *, Described> m_described;
};

} // namespace

namespace IndicatorWords {

void follow(QWidget &window)
{
    // A label that is not yet polished takes a new style sheet silently; the
    // window may be repainted before it is first shown.
    window.ensurePolished();
    auto *follower = new Follower(&window);
    const auto label = [&window](const QString &name) { return window.findChild<QLabel *>(name); };
    for (int n = 1; n <= 32; ++n) {
        follower->add(label(QStringLiteral("input_%1").arg(n)), Indicator::Input, n);
        follower->add(label(QStringLiteral("led_%1").arg(n)), Indicator::Led, n);
    }
    for (int k = 1; k <= 4; ++k) {
        follower->add(label(QStringLiteral("m_DIPSWOn_%1").arg(k)), Indicator::DipSwitchOnCell, k);
        follower->add(label(QStringLiteral("m_DIPSWOff_%1").arg(k)), Indicator::DipSwitchOffCell, k);
    }
    follower->add(label(QStringLiteral("m_PTTState")), Indicator::PushToTalk);
    follower->add(label(QStringLiteral("m_SonalertState")), Indicator::Ringer);
    follower->add(label(QStringLiteral("m_HandsetMutedState")), Indicator::HandsetMuted);
    follower->add(label(QStringLiteral("m_SnoozingAllowed")), Indicator::SnoozingAllowed);
    follower->add(label(QStringLiteral("m_ButtonTapsEnabled")), Indicator::ButtonTaps);
    follower->add(label(QStringLiteral("m_PTTZoneModeEnabled")), Indicator::PttZoneMode);
}

} // namespace IndicatorWords

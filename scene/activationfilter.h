#pragma once

#include <QObject>

// Keeps window activation from reaching a scene. The toolkit's scene answers
// every activation and deactivation of its view's window by sorting all its
// items and visiting each top-level one; with 10,000 entities that is 0.7 s
// for each modal window opened or closed, and for closing the main window.
// The diagram's items have no focus or activation behaviour to update.
class ActivationFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

#include "scene/activationfilter.h"

#include <QEvent>

bool ActivationFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        return true;
    return QObject::eventFilter(watched, event);
}

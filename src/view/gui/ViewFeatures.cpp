#include "view/gui/ViewFeatures.h"

#include "view/gui/CftpView.h"
#include "view/gui/SessionController.h"

ViewFeatures::ViewFeatures(CftpView& view, Prompt& prompt, const QString& workFolder)
    : sessions_(std::make_unique<SessionController>(view, prompt, workFolder))
{
}

ViewFeatures::~ViewFeatures() = default;

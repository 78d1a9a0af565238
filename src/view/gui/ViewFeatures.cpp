#include "view/gui/ViewFeatures.h"

#include "view/gui/AccountController.h"
#include "view/gui/CftpView.h"
#include "view/gui/SessionController.h"

ViewFeatures::ViewFeatures(CftpView& view, Prompt& prompt, const QString& workFolder)
    : sessions_(std::make_unique<SessionController>(view, prompt, workFolder)),
      accounts_(std::make_unique<AccountController>(view, *sessions_, prompt))
{
}

ViewFeatures::~ViewFeatures() = default;

#include "updater/app/PageFlow.h"

#include "updater/app/UpdateMode.h"

int PageFlow::FirstPageOf(int mode) {
    switch (mode) {
    case ExplicitUpdate: return kLoadingPage;
    case UpdateNotice: return kDescriptionPage;
    case AdminProgress: return kProgressPage;
    default: return -1;
    }
}

void PageFlow::OnFirstShow() {
    if (first_show_done_) return;
    first_show_done_ = true;
    const int first = FirstPageOf(mode_);
    if (first >= 0) ShowPage(first);
}

void PageFlow::ShowPage(int page) {
    if (awaiting_hand_over_) return;
    if (page < 0 || page >= host_.PageCount()) return;
    switch (page) {
    case kLoadingPage:
        EnableCloseButton(false);
        break;
    case kCompletePage:
        if (mode_ == UpdateNotice) host_.ClearNewProjectValues();
        EnableCloseButton(true);
        break;
    case kProgressPage: {
        bool skip_preparation = false;
        if (!EnterProgressStep(&skip_preparation)) return;
        if (!skip_preparation) {
            if (host_.ProductIsRunning()) host_.CloseRunningProduct();
            EnableCloseButton(false);
            host_.StartAdvertisement();
        }
        break;
    }
    default:
        EnableCloseButton(true);
        break;
    }
    Switch(page);
}

bool PageFlow::EnterProgressStep(bool* skip_preparation) {
    if (host_.InstalledVersionIsCurrent()) {
        host_.Post(PageRequest::AlreadyCurrent);
        return false;
    }
    if ((mode_ == ExplicitUpdate || mode_ == UpdateNotice) && host_.ProductIsRunning() &&
        !host_.AskToCloseRunningProduct()) {
        // The user chose to keep the product: close without asking a second time.
        confirm_close_ = false;
        host_.Post(PageRequest::Close);
        return false;
    }
    // The copy started for the hand-over never hands over again: where the system starts it
    // without higher rights, every further copy would be the same, one after another.
    if (mode_ != AdminProgress && host_.NeedsElevatedCopy()) {
        if (!host_.SaveSetupOptions()) {
            // A copy would start without the user's choices: the step stays here, as when
            // elevation is not available, and the progress page asks for it.
            *skip_preparation = true;
            return true;
        }
        const int result = host_.StartElevatedCopy();
        if (result > 32) {
            // Not ended yet: the copy may still find it cannot take over (another account's
            // data, files it cannot read), and then this copy must not be gone.
            awaiting_hand_over_ = true;
            return false;
        }
        if (result == kElevationRefused) {
            host_.ReportElevationRefused();
            return false;
        }
        // Elevation is not available: the progress page asks for it when it starts the setup.
        *skip_preparation = true;
    }
    return true;
}

void PageFlow::EnableCloseButton(bool enable) {
    close_enabled_ = enable;
    host_.EnableCloseButton(enable);
}

void PageFlow::Switch(int page) {
    host_.SwitchPage(current_, page);
    current_ = page;
}

void PageFlow::NextPage() {
    if (awaiting_hand_over_ || current_ >= kCompletePage) return;
    int next = current_ + 1;
    switch (current_) {
    case kLoadingPage:
        host_.RefreshPagesAfterLoading();
        next = kDescriptionPage;
        break;
    case kOptionPage:
        next = host_.LicenceMustBeShown() ? kLicensePage : kProgressPage;
        break;
    case kLicensePage:
        // The page keeps the user until the licence is accepted; showing it again would only
        // load it again.
        if (host_.AskLicencePage() == 1) return;
        next = kProgressPage;
        break;
    default:
        break;
    }
    ShowPage(next);
}

void PageFlow::ShowAlreadyCurrent() {
    host_.RefreshAlreadyCurrentPage();
    if (host_.PageCount() <= kAlreadyCurrentPage) return;
    EnableCloseButton(true);
    Switch(kAlreadyCurrentPage);
}

void PageFlow::ShowError() {
    if (host_.PageCount() <= kErrorPage) return;
    EnableCloseButton(true);
    Switch(kErrorPage);
}

void PageFlow::Close() {
    if (awaiting_hand_over_) return;
    switch (current_) {
    case kLoadingPage:
    case kProgressPage:
        host_.End(kEndCancel);
        return;
    case kDescriptionPage:
    case kOptionPage:
    case kLicensePage:
        if (confirm_close_ && !host_.ConfirmCancel()) return;
        // The agent waits a week before it tells the user about this update again.
        if (mode_ == UpdateNotice) host_.SetAfterUpdateDay(false);
        host_.End(kEndCancel);
        return;
    case kCompletePage:
        host_.SetAfterUpdateDay(true);
        host_.RunCompletionActions();
        host_.End(kEndOk);
        return;
    default:
        host_.End(kEndOk);
        return;
    }
}

void PageFlow::SystemClose() {
    // While the button is disabled the window is in a step that must not be left half-done
    // (the agent's check, the product's setup): the window stays and keeps watching it.
    if (!close_enabled_) return;
    host_.Post(PageRequest::Close);
}

void PageFlow::HandOverTaken() {
    if (!awaiting_hand_over_) return;
    awaiting_hand_over_ = false;
    // The notice's record of the pending product belongs to this user, and the copy runs in its
    // own mode, perhaps as another account whose registry is not this user's: the notice empties
    // it here, now that the update is in the copy's hands, as it would on its completion page.
    if (mode_ == UpdateNotice) host_.ClearNewProjectValues();
    // The copy waits for this process's mutex, which goes when this process ends.
    host_.End(kEndOk);
}

void PageFlow::HandOverFailed() {
    if (!awaiting_hand_over_) return;
    awaiting_hand_over_ = false;
    ShowError();
}

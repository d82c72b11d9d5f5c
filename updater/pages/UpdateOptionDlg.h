#pragma once
// The option step: what the update brings (a rich-text description on one tab) and what the
// setup program will do (a tree of check boxes on the other), with up to two more check boxes
// for an extra offer and the start-page offer. Its button stores every choice and moves on. The
// page creates itself from its template when the window sets it up.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "updater/data/UpdateInfo.h"
#include "updater/controls/ImageButton.h"
#include "updater/controls/OptionControls.h"
#include "updater/controls/ReadOnlyText.h"
#include "updater/pages/UpdatePage.h"

class CMediumInstall;
class CStartPageWorker;
class CSetupOptions;
class ProductOption;

class CUpdateOptionDlg : public CUpdatePage {
public:
    CUpdateOptionDlg();
    ~CUpdateOptionDlg() override;

    // Stores the inputs, creates the page and fills the tree; false without the offer objects
    // or when the dialog cannot be created.
    bool SetUp(HWND parent, const UpdateInfoFields& product, CMediumInstall* medium_offer,
               CStartPageWorker* start_page_worker, CSetupOptions* setup_options,
               ProductOption* option_store);
    // Takes a fresh copy of the update information and fills the tree again.
    void Refresh(const UpdateInfoFields& product);
    void FillTree();

    // Whether the product option store, not the middle offer, drives the extra-offer box: no
    // middle offer, an option 2 in the store, and a new version of at least 2.25.
    static bool OptionStoreDrivesExtraBox(bool middle_offer_present, bool store_has_option_two,
                                          const std::string& new_version);

protected:
    bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override { PostToWindow(kMsgClose); }

private:
    void OnShown() override;
    void FillDescription();
    void AddHeaderItem();
    void SetUpExtraOfferBox();
    void SetUpStartPageBox();
    void SetUpTabs();
    void ShowTab(int tab);
    // Ctrl+Tab and Ctrl+Shift+Tab: the next or previous tab, wherever the focus is in the
    // window. The dialog manager would move the focus instead (it takes Ctrl+Tab for Tab), so
    // the keys are taken from the window's loop before it sees them, while the page is shown.
    void SwitchTabBy(int step);
    void WatchTabKeys(bool watch);
    static LRESULT CALLBACK TabKeyFilter(int code, WPARAM wparam, LPARAM lparam);
    // Sizes the check box to its text and shows it at (x, y from the bottom); x < 0 means
    // right-aligned with that margin.
    void PlaceCheckBox(int id, int x, int bottom_margin);
    // Long offer texts: keeps the two boxes from covering each other or leaving the page.
    void FitBottomBoxes();
    HTREEITEM AddItem(UINT text_id);
    bool StoreDrivesExtraBox() const;
    bool StartPageWorkerComplete() const;

    UpdateInfoFields product_;
    CMediumInstall* medium_offer_ = nullptr;
    CStartPageWorker* start_page_worker_ = nullptr;
    CSetupOptions* setup_options_ = nullptr;
    ProductOption* option_store_ = nullptr;
    HTREEITEM item_extra_ = nullptr;
    HTREEITEM item_desktop_ = nullptr;
    HTREEITEM item_start_menu_ = nullptr;
    HTREEITEM item_quick_launch_ = nullptr;
    HTREEITEM item_toolbar_ = nullptr;
    HTREEITEM item_header_ = nullptr;
    int start_page_shown_ = 0;
    HIMAGELIST state_images_ = nullptr;
    HBITMAP state_bitmap_ = nullptr;
    HHOOK tab_key_hook_ = nullptr;
    ImageButton next_button_;
    OptionTabCtrl tabs_;
    OptionTreeCtrl tree_;
    ReadOnlyText description_view_;
};

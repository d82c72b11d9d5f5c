#pragma once
// Whether any of a fixed list of other vendors' antivirus products is installed, and whether
// those found are international or domestic (Korean) products. Reads the registry and tests for
// files; starts nothing and changes nothing.
#include <string>
#include <vector>

// One known product. The uninstall key (under HKEY_LOCAL_MACHINE) alone proves it installed;
// otherwise its product key names its folder in `path_value`, and every one of `files` (blank-
// separated, relative to the folder) must exist there.
struct VaccineProduct {
    int international;  // 1 international, 0 domestic
    std::string name;
    std::string uninstall_key;
    std::string product_key;
    std::string path_value;
    std::string files;
};

class CCheckVaccine {
public:
    CCheckVaccine();
    virtual ~CCheckVaccine();

    // kAntivirusInternational | kAntivirusDomestic (AdFormData.h) of the products found: one pass
    // over the view a 32-bit program sees and, under WOW64, one over the 64-bit view.
    int DetectProducts();

    const std::vector<VaccineProduct>& products() const { return products_; }

protected:
    // Whether the 64-bit view must be searched too.
    virtual bool UnderWow64() const;

private:
    // One pass with the given registry access; stops once both kinds are in `found`.
    int DetectInView(unsigned long access, int found) const;

    std::vector<VaccineProduct> products_;
};

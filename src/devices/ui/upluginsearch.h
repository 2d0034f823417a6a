#pragma once
// The plug-in folders dialog: shown when a song names a plug-in that cannot be found, it lets
// the user point the softsynth and effect folders elsewhere. "Browse" and "Use default" close it
// with OK, and the caller searches again; "&Cancel" ends the search.

#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/label.h"

#include <string>

class TfmPluginSearch : public platform::TForm {
public:
    explicit TfmPluginSearch(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TfmPluginSearch"; }

    platform::TLabel* labelInfo;
    platform::TLabel* Label3;
    platform::TLabel* Label10;
    platform::TEdit* editSynthFolder;
    platform::TEdit* editFxFolder;
    platform::TLabel *Label12, *Label11; // softsynth folder: "Browse", "Use default"
    platform::TLabel *Label17, *Label16; // effect folder: "Browse", "Use default"
    platform::TButton* Button2;          // "&Cancel"
    // The file name of the plug-in that was not found (set before showing).
    std::string PluginName;

    void Label12Click();
    void Label17Click();
    void Label11Click();
    void Label16Click();

protected:
    void DoShow() override;
};

extern TfmPluginSearch* fmPluginSearch;

// The search dialog for FileName, shown modally; True when it closed with OK (look again).
bool SearchPluginDialog(const std::string& FileName);

// The main menu, its dialogues, and the two actions that start a run.
//
// The menu owns the parameter record the user edits (and the settings file
// keeps) for as long as the program runs.  Choices 2 to 5 edit it in memory
// only; Start and brute generation normalise the weights, save the settings
// and hand a copy of the parameters to a classifier of their own.
#pragma once
#include <cstdint>
#include <string>

#include "params/params.h"

class Menu {
   public:
    // Start-up: the settings folder, the settings file (read, or created
    // with the defaults), the dual distance reset to 1.
    explicit Menu(const std::string& resdir = "res/");
    // Runs the menu until Exit is chosen (or standard input ends).
    void mainmenu();

    ParamRecord runpar{};
    bool doublyeven = false;  // q = 2: every wanted weight is divisible by 4 (set at Start)

   private:
    void showmenu() const;
    void paramdialogue();
    void weightdialogue();
    void propdialogue();
    void dualdialogue();
    void about();
    bool runpossible(bool brute) const;
    void startrun();
    void brutemode();

    std::string resdir_;
    std::string settingspath_;
};

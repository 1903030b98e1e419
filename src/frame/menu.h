// The main menu, its dialogues, and the two actions that start a run.
#pragma once

// Runs the menu until Exit is chosen (or standard input ends).
void mainmenu();
// Clears the parameter record for the parameter dialogue.
void resetpar();
// Makes the self-orthogonality flag and the allowed weights agree, for
// q = 2, 3, 4 (reads and writes runpar.selforth, runpar.wt[1..n] and
// doublyeven); other q are left alone.
void normweights();
// Start-up of the program: tables, RES_DIR, settings, working copies.
void startup();

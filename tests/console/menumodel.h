// The main menu as the program prints it, for the tests that compare whole
// transcripts: a model of what the menu shows, written once.
#pragma once
#include <string>
#include <vector>

struct menuview {
    int n = 24, k = 12, d = 8, q = 2;
    int so = 0;                 // self-orthogonal flag (-1: any value will do, for models that cannot know)
    std::vector<int> weights;   // allowed weights in 1..n
    std::vector<int> props;     // propcol[2..k]
    int dual = 1;
};

// [n,k,d;q] with the given weights and every bound at 800.
inline menuview mk(int n, int k, int d, int q, std::vector<int> weights, int dual = 1) {
    menuview m;
    m.n = n, m.k = k, m.d = d, m.q = q, m.weights = weights, m.dual = dual;
    m.props.assign(k - 1, 800);
    return m;
}
// The parameters of a fresh start: [24,12,8;2], weights 8..24.
inline menuview defaults(int dual = 1) {
    return mk(24, 12, 8, 2, {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}, dual);
}

// The menu as the program prints it, from the banner to "\tChoose:".
inline std::string menu(const menuview& m) {
    std::string s = "\n\t Generating  Linear Codes (TALVEN v1.0 ZorbelNewEdition first module)\n\n";
    s += "\t Classification of linear codes by canonical augmentation\n\n";
    s += "\t Field: q<8 ; Maximal lenght  " + std::to_string(800 / m.q) + "      Maximal dimension 20,\n\n";
    s += " \t\tGenerate [" + std::to_string(m.n) + "," + std::to_string(m.k) + "," + std::to_string(m.d) + ";" +
         std::to_string(m.q) + "]  Linear codes" + (m.so == 1 ? " -- self-orthogonal" : "") + "\n \t\tWith weights:\n";
    for (size_t i = 0; i < m.weights.size(); i++)
        s += " wt" + std::to_string(i + 1) + "= " + std::to_string(m.weights[i]) + ",";
    s += "\n \t\t Proportional columns:\n";
    for (size_t i = 0; i < m.props.size(); i++)
        s += " d" + std::to_string(i + 2) + "->" + std::to_string(m.props[i]) + ",";
    return s + "\n\n\n\t1. Start\n\t2. Change input parameters\n\t3. Restriction on weights\n"
               "\t4. Restriction on proportional coordinates\n\t5. Dual distance " + std::to_string(m.dual) +
           "\n\t6. Brute generation \n\t7. About ZorbelNewEdition\n\t8. Exit \n\tChoose:";
}

// The parameter dialogue's six prompts, answered without complaint.
inline const char* const kDialogue =
    "\n Enter n = \n Enter k = \n Enter d = \n Enter q = \n Weights are divisible by dw = "
    "\n Self orthogonal 1-Yes /  0-No  ";

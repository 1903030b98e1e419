// Text input for the readers: numbered lines and the tokens of the algebra
// systems' languages.
//
// Both read the stream's buffer one character at a time and never hold
// more than one line or one token, so a reader's memory does not grow with
// its file, and both refuse a line or token past a fixed length instead of
// growing without bound on a damaged file (a binary file has no newlines).
#pragma once
#include <cstddef>
#include <deque>
#include <istream>
#include <string>

// Prints a short, printable excerpt of s for a message: at most 40
// characters, anything outside printable ASCII as \xNN.
std::string excerpt(const std::string& s);

class LineSource {
   public:
    static constexpr size_t MAXLINE = 1 << 20;
    explicit LineSource(std::istream& in) : buf_(in.rdbuf()) {}

    // Reads the next line into line(): without its "\n" and without a
    // "\r" before it.  False at the end of the input, and when the line is
    // longer than MAXLINE (toolong() then holds; the rest of the line is
    // not read).
    bool next();
    const std::string& line() const { return line_; }
    // The number of line(), from 1; after the end of the input, the number
    // of the last line.
    long number() const { return number_; }
    bool toolong() const { return toolong_; }

   private:
    std::streambuf* buf_;
    std::string line_;
    long number_ = 0;
    bool toolong_ = false;
};

enum class Tok { end, name, number, string, punct, bad };

struct Token {
    Tok kind = Tok::end;
    std::string text;  // the name, the digits, the string's contents, the punctuation; the reason for `bad`
    long line = 0;
};

class Lexer {
   public:
    static constexpr size_t MAXTOKEN = 64;
    // `slashcomments`: Magma's "//" and "/* */"; otherwise "#" to the end
    // of the line (GAP, Python).
    Lexer(std::istream& in, bool slashcomments) : buf_(in.rdbuf()), slash_(slashcomments) {}

    // The token i places ahead (0: the next one) and the next token, taken.
    // After the end of the input every token is `end`; a character no
    // token starts with, an unclosed string or comment and a name or number
    // longer than MAXTOKEN give one `bad` token.
    const Token& peek(size_t i = 0);
    Token take();
    // The line the lexer has read up to.
    long line() const { return line_; }
    // The first line comment that opens with `mark` (set by setmark): its
    // text after the mark (at most MAXMARKED characters), and its line.
    static constexpr size_t MAXMARKED = 8192;
    void setmark(const std::string& mark) { mark_ = mark; }
    bool hasmarked() const { return markedline_ > 0; }
    const std::string& marked() const { return marked_; }
    long markedline() const { return markedline_; }

   private:
    // Reads the next token from the stream (after spaces and comments).
    Token scan();
    // The next character, taken (counting lines) or only looked at; -1 at
    // the end of the input.
    int get();
    int look();

    // Skips a line comment up to its line end, keeping it when it is the
    // first one with the mark.
    void linecomment();

    std::streambuf* buf_;
    bool slash_;
    long line_ = 1;
    std::deque<Token> ahead_;
    std::string mark_, marked_;
    long markedline_ = 0;
};

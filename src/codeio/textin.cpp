// Numbered lines and tokens (see textin.h).  The stream buffer's own
// one-character calls are inline and buffered, so reading a character at a
// time costs no more than a line at a time would.
#include "codeio/textin.h"

#include <cstdio>

std::string excerpt(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size() && i < 40; i++) {
        unsigned char ch = (unsigned char)s[i];
        if (ch >= 32 && ch < 127) {
            out += (char)ch;
        } else {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", ch);
            out += buf;
        }
    }
    if (s.size() > 40) out += "...";
    return out;
}

bool LineSource::next() {
    line_.clear();
    toolong_ = false;
    if (buf_ == nullptr) return false;
    int ch = buf_->sbumpc();
    if (ch == std::char_traits<char>::eof()) return false;
    number_++;
    while (ch != std::char_traits<char>::eof() && ch != '\n') {
        if (line_.size() == MAXLINE) {
            toolong_ = true;
            return false;
        }
        line_ += (char)ch;
        ch = buf_->sbumpc();
    }
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    return true;
}

int Lexer::get() {
    if (buf_ == nullptr) return -1;
    int ch = buf_->sbumpc();
    if (ch == std::char_traits<char>::eof()) return -1;
    if (ch == '\n') line_++;
    return ch;
}

int Lexer::look() {
    if (buf_ == nullptr) return -1;
    int ch = buf_->sgetc();
    return ch == std::char_traits<char>::eof() ? -1 : ch;
}

namespace {

// The characters a name starts with, and the digits.
bool isnamestart(int ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_'; }
bool isdigitch(int ch) { return ch >= '0' && ch <= '9'; }

// A `bad` token on line `line` whose text is the reason.
Token badtoken(long line, const std::string& why) {
    Token t;
    t.kind = Tok::bad;
    t.text = why;
    t.line = line;
    return t;
}

}  // namespace

void Lexer::linecomment() {
    const long at = line_;
    const bool keep = !mark_.empty() && markedline_ == 0;
    std::string text;
    while (look() != -1 && look() != '\n') {
        const int c = get();
        if (keep && text.size() < MAXMARKED) text += (char)c;
    }
    if (!keep) return;
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text.compare(start, mark_.size(), mark_) != 0) return;
    marked_ = text.substr(start + mark_.size());
    if (!marked_.empty() && marked_.back() == '\r') marked_.pop_back();
    markedline_ = at;
}

Token Lexer::scan() {
    // Spaces and comments.
    for (;;) {
        int ch = look();
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\f' || ch == '\v') {
            get();
        } else if (ch == '#' && !slash_) {
            get();
            linecomment();
        } else if (ch == '/' && slash_) {
            long start = line_;
            get();
            if (look() == '/') {
                get();
                linecomment();
            } else if (look() == '*') {
                get();
                int prev = 0;
                for (;;) {
                    int c = get();
                    if (c == -1) return badtoken(start, "a comment that is never closed");
                    if (prev == '*' && c == '/') break;
                    prev = c;
                }
            } else {
                return badtoken(start, "a '/' that starts no comment");
            }
        } else {
            break;
        }
    }
    Token t;
    t.line = line_;
    int ch = look();
    if (ch == -1) return t;  // end
    if (isnamestart(ch) || isdigitch(ch)) {
        t.kind = isdigitch(ch) ? Tok::number : Tok::name;
        while (isnamestart(look()) || isdigitch(look())) {
            if (t.text.size() == MAXTOKEN) return badtoken(t.line, "a name or number longer than 64 characters");
            t.text += (char)get();
        }
        if (t.kind == Tok::number)
            for (char c : t.text)
                if (!isdigitch(c)) return badtoken(t.line, "the number " + excerpt(t.text) + " runs into letters");
        return t;
    }
    if (ch == '"' || ch == '\'') {
        const int quote = get();
        t.kind = Tok::string;
        for (;;) {
            int c = get();
            if (c == -1 || c == '\n') return badtoken(t.line, "a string that is never closed");
            if (c == quote) break;
            if (c == '\\') c = get();
            if (c == -1) return badtoken(t.line, "a string that is never closed");
            if (t.text.size() == MAXTOKEN) return badtoken(t.line, "a string longer than 64 characters");
            t.text += (char)c;
        }
        return t;
    }
    get();
    t.kind = Tok::punct;
    t.text = (char)ch;
    if (ch == ':' && look() == '=') {
        get();
        t.text = ":=";
    } else if (ch == '*' && look() == '*') {
        get();
        t.text = "**";
    } else if (std::string("()[],;<>^*+-=.|").find((char)ch) == std::string::npos) {
        return badtoken(t.line, "the character '" + excerpt(std::string(1, (char)ch)) + "'");
    }
    return t;
}

const Token& Lexer::peek(size_t i) {
    while (ahead_.size() <= i) {
        // Past an end or a bad token nothing more is read.
        if (!ahead_.empty() && (ahead_.back().kind == Tok::end || ahead_.back().kind == Tok::bad)) {
            Token again = ahead_.back();
            ahead_.push_back(std::move(again));
        } else {
            ahead_.push_back(scan());
        }
    }
    return ahead_[i];
}

Token Lexer::take() {
    peek(0);
    Token t = std::move(ahead_.front());
    ahead_.pop_front();
    if (ahead_.empty() && (t.kind == Tok::end || t.kind == Tok::bad)) ahead_.push_back(t);
    return t;
}

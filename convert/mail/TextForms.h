#pragma once
// The forms in which mail programs put plain text into a mail, turned back
// into lines of text: format=flowed (RFC 3676) and HTML. Both work on
// pieces of any size, in memory bounded whatever the input.

#include <string>
#include <string_view>

namespace calverdon::mail {

class TextForm {
public:
    virtual ~TextForm() = default;
    // Appends to `out` what `in` amounts to as plain text.
    virtual void Process(std::string_view in, std::string& out) = 0;
    // The end of the input.
    virtual void Finish(std::string& out) = 0;
};

// Undoes format=flowed: a line that ends in a blank goes on in the next
// line of the same quote depth (with DelSp=yes that blank goes too), a
// leading blank that stuffs a line is removed, and quoted lines keep their
// depth as "> " marks.
class Unflow final : public TextForm {
public:
    explicit Unflow(bool delSp) : delSp_(delSp) {}
    void Process(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    void Line(std::string_view line, std::string& out);
    void Flush(std::string& out);

    bool delSp_;
    std::string line_;     // the physical line being collected
    std::string logical_;  // the logical line being joined
    int depth_ = -1;       // its quote depth; -1 when none is open
};

// The text of HTML: tags removed, <br>, paragraphs, table rows and list
// items as line ends, line breaks kept inside <pre> and taken as blanks
// elsewhere, character references resolved (to UTF-8: the input must be
// UTF-8 too), script and style dropped.
class HtmlText final : public TextForm {
public:
    void Process(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    enum class State { Text, Tag, Entity, Comment, Skip };
    void EndTag(std::string& out);
    void EndEntity(std::string& out);
    void Blank(std::string& out);

    State state_ = State::Text;
    std::string tag_;       // the start of the tag being read
    std::string entity_;
    std::string comment_;   // the last bytes of a comment, for its end
    std::string skipUntil_; // "</script" or "</style" while skipping
    int pre_ = 0;
    bool blankPending_ = false;
};

}  // namespace calverdon::mail

#include "FileHandler/TRuleFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "FileHandler/NumberFormat.h"
#include "FileHandler/TFuzzyMFFiler.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

// Deeper expressions than this are refused: reading, writing, copying and destroying an
// expression all recurse once per level.
constexpr int kMaxDepth = 200;

// How a token behaves in an expression. Class 1 starts an operand, class 2 follows one; the
// follow class is what the next token must be.
struct TOperatorProps {
    int cls;
    int follow;
    int left;
    int right;
};

TOperatorProps PropsOf(const std::string& token) {
    struct Entry {
        const char* token;
        TOperatorProps props;
    };
    static const Entry table[] = {
        {"and", {2, 1, 80, 80}}, {"or", {2, 1, 75, 73}},  {"not", {1, 1, 90, 1000}},
        {"(", {1, 1, 20, 1000}}, {")", {2, 2, 1000, 20}}, {"<", {1, 2, 900, 900}},
        {"then", {2, 1, 0, 0}},
    };
    for (const Entry& entry : table) {
        if (SameText(token, entry.token)) return entry.props;
    }
    return {0, 0, 0, 0};
}

[[noreturn]] void Fail(const std::string& kind, const std::string& operation) {
    throw TException("Bad Rule File", kind, operation);
}

[[noreturn]] void IllFormed(int step) {
    Fail("Ill formed expression", "TRuleFile::LoadExpression(" + std::to_string(step) + ")");
}

[[noreturn]] void FailAtom(const std::string& kind) {
    Fail(kind, "TRuleFile::LoadAtom");
}

bool IsToken(const BlockItem& item, const char* text) {
    return item.kind == BlockItem::Token && SameText(item.name, text);
}

// True when the text begins with a number as "%f" reads it; then value holds it at full
// double precision.
bool ReadsAsNumber(const std::string& text, double& value) {
    float probe = 0;
    if (std::sscanf(text.c_str(), "%f", &probe) != 1) return false;
    value = std::strtod(text.c_str(), nullptr);
    return true;
}

// ---- writing ----

}  // namespace

// The rule lines, gathered in one buffer that goes to the stream in pieces of 64 kB or more: a
// large rule file is millions of small pieces, each too small for the stream's own calls. A
// file stream passes pieces larger than its own buffer straight to the system.
class TRuleText {
public:
    // Left uninitialised, the buffer costs a small file only the pages it fills.
    explicit TRuleText(std::ostream& out)
        : out_(out), buffer_(std::make_unique_for_overwrite<char[]>(2 * Chunk)), size_(2 * Chunk) {}

    void Append(std::string_view piece) {
        std::memcpy(Room(piece.size()), piece.data(), piece.size());
        used_ += piece.size();
    }
    void Append(char ch) {
        *Room(1) = ch;
        ++used_;
    }
    void AppendNumber(double value) {  // "%g", whatever the caller's stream uses
        used_ = static_cast<std::size_t>(WriteGeneralNumber(Room(GeneralNumberSize), value) -
                                         buffer_.get());
    }
    // The last character of the line so far; a new line counts as empty.
    char Last() const { return used_ > 0 ? buffer_[used_ - 1] : '\n'; }
    void EndLine() {
        Append('\n');
        if (used_ >= Chunk) Flush();
    }
    void Flush() {
        out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

private:
    static constexpr std::size_t Chunk = std::size_t{1} << 16;

    // Where `size` more characters go.
    char* Room(std::size_t size) {
        if (size_ - used_ < size) Grow(size);
        return buffer_.get() + used_;
    }
    // Room for a line longer than the buffer: it doubles, or grows to what the piece needs.
    void Grow(std::size_t size) {
        const std::size_t grown = std::max(2 * size_, used_ + size);
        auto larger = std::make_unique_for_overwrite<char[]>(grown);
        if (used_ > 0) std::memcpy(larger.get(), buffer_.get(), used_);
        buffer_ = std::move(larger);
        size_ = grown;
    }

    std::ostream& out_;
    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
    std::size_t used_ = 0;
};

namespace {

// Appends a bracket; a blank keeps two brackets apart, as touching they would read as one word.
void AppendBracket(TRuleText& text, char bracket) {
    if (text.Last() == bracket) text.Append(' ');
    text.Append(bracket);
}

template <class Heads>
void AppendAtom(TRuleText& text, const TRuleAtom& atom, Heads& heads) {
    text.Append(heads.Of(atom));
    text.AppendNumber(atom.Weight);
    text.Append('>');
}

template <class Heads>
void AppendExpression(TRuleText& text, const TRuleExpression& expression, int depth,
                      Heads& inputs) {
    if (expression.ExprKind() == 1) {
        AppendAtom(text, expression.Atom(), inputs);
        return;
    }
    if (expression.ExprKind() != 2 || expression.List().numSubExpressions() == 0) {
        text.Append("NULL");
        return;
    }
    const TRuleExprList& list = expression.List();
    if (list.numSubExpressions() == 1) {
        const TOperatorProps props = PropsOf(list.Operator);
        const bool prefix = props.cls == 1 && props.follow == 1;
        const bool postfix = props.cls == 2 && props.follow == 2;
        if (prefix) {
            text.Append(list.Operator);
            text.Append(' ');
        }
        AppendExpression(text, list.GetSubExpression(0), depth + 1, inputs);
        if (postfix) {
            text.Append(' ');
            text.Append(list.Operator);
        }
        return;
    }
    if (depth > 0) AppendBracket(text, '(');
    for (int i = 0; i < list.numSubExpressions(); ++i) {
        if (i > 0) {
            text.Append(' ');
            text.Append(list.Operator);
            text.Append(' ');
        }
        AppendExpression(text, list.GetSubExpression(i), depth + 1, inputs);
    }
    if (depth > 0) AppendBracket(text, ')');
}

template <class Heads>
void AppendConsequences(TRuleText& text, const TRuleConsequenceList* consequences, Heads& outputs) {
    if (consequences == nullptr || consequences->numConsequences() == 0) {
        text.Append("NULL");
        return;
    }
    for (int i = 0; i < consequences->numConsequences(); ++i) {
        if (i > 0) text.Append(" and ");
        AppendAtom(text, consequences->GetConsequence(i), outputs);
    }
}

// ---- reading ----

// Counts a LoadExpression call in progress for as long as it runs.
class TNestingGuard {
public:
    explicit TNestingGuard(int& nesting) : nesting_(nesting) {
        if (++nesting_ > kMaxDepth) {
            --nesting_;
            Fail("Expression nested too deeply", "TRuleFile::LoadExpression");
        }
    }
    ~TNestingGuard() { --nesting_; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;

private:
    int& nesting_;
};

// The first slot of count whose content is named name (ignoring case); unnamed content and empty
// slots never match.
template <typename Get>
int FindNamed(int count, const std::string& name, Get get) {
    for (int i = 0; i < count; ++i) {
        const auto* content = get(i);
        if (content != nullptr && !content->Name.empty() && SameText(content->Name, name)) {
            return i;
        }
    }
    return -1;
}

}  // namespace

// An expression being read, with the depth of its tree (an atom has depth 0).
struct TRuleFile::Parsed {
    TRuleExpression expression;
    int depth = 0;

    bool Empty() const { return expression.ExprKind() == 0; }

    // This expression becomes the only sub-expression of a new list named op.
    void Wrap(const std::string& op) {
        auto list = std::make_unique<TRuleExprList>(op, 1);
        list->InsertSubExpression(std::move(expression), -1);
        SetDepth(depth + 1);
        expression = TRuleExpression(std::move(list));
    }

    // operand joins this expression under op: appended to a list of the same chaining operator,
    // otherwise both go into a new list named op.
    void Join(const std::string& op, bool chains, Parsed operand) {
        if (chains && expression.ExprKind() == 2 && SameText(expression.List().Operator, op)) {
            SetDepth(std::max(depth, operand.depth + 1));
            expression.List().InsertSubExpression(std::move(operand.expression), -1);
            return;
        }
        SetDepth(std::max(depth, operand.depth) + 1);
        auto list = std::make_unique<TRuleExprList>(op, 2);
        list->InsertSubExpression(std::move(expression), -1);
        list->InsertSubExpression(std::move(operand.expression), -1);
        expression = TRuleExpression(std::move(list));
    }

private:
    void SetDepth(int newDepth) {
        if (newDepth > kMaxDepth) Fail("Expression nested too deeply", "TRuleFile::LoadExpression");
        depth = newDepth;
    }
};

void TRuleFile::SaveRules(FileTools& tools, std::ostream& out, const TFuzzyRuleSet& rules) {
    TRuleFileWriter writer(tools, out, rules);
    for (int i = 0; i < rules.RuleList->numRules(); ++i)
        writer.Write(rules.RuleList->GetRule(i));
    writer.Finish();
}

// The text "<variable is [not ]term " of the atoms of one MF list, made once per variable, term
// and negation: a large rule file names the same few hundred terms hundreds of thousands of times.
class TRuleFileWriter::TAtomHeads {
public:
    explicit TAtomHeads(const TMFSetList& list) : list_(list) {}

    // Fails with the TExceptions of GetMFSet and GetMF for an atom outside the list.
    const std::string& Of(const TRuleAtom& atom) {
        if (atom.Variable < 0 || atom.Variable >= Kept || atom.Term < 0 || atom.Term >= Kept) {
            uncached_ = Make(atom);  // positions read from a file may be anything
            return uncached_;
        }
        const auto variable = static_cast<std::size_t>(atom.Variable);
        const auto slot = 2 * static_cast<std::size_t>(atom.Term) + (atom.Negated ? 1 : 0);
        if (heads_.size() <= variable) heads_.resize(variable + 1);
        std::vector<std::string>& heads = heads_[variable];
        if (heads.size() <= slot) heads.resize(slot + 1);
        if (heads[slot].empty()) heads[slot] = Make(atom);
        return heads[slot];
    }

private:
    static constexpr int Kept = 4096;  // positions up to this are kept

    std::string Make(const TRuleAtom& atom) const {
        const TBasicMFSet* set = list_.GetMFSet(atom.Variable);
        GLEAN_CHECK_TEXT(set != nullptr, "set!=NULL");
        const TBasicMF* mf = set->GetMF(atom.Term);
        GLEAN_CHECK_TEXT(mf != nullptr, "mf!=NULL");
        return "<" + set->Name + " is " + (atom.Negated ? "not " : "") + mf->Name + " ";
    }

    const TMFSetList& list_;
    std::vector<std::vector<std::string>> heads_;  // [variable][2 * term + negated]
    std::string uncached_;
};

TRuleFileWriter::TRuleFileWriter(FileTools& tools, std::ostream& out, const TFuzzyRuleSet& rules)
    : tools_(tools), out_(out), text_(std::make_unique<TRuleText>(out)) {
    GLEAN_CHECK(rules.InputMFList != nullptr);
    GLEAN_CHECK(rules.RuleList != nullptr);
    GLEAN_CHECK(rules.OutputMFList != nullptr);
    inputs_ = std::make_unique<TAtomHeads>(*rules.InputMFList);
    outputs_ = std::make_unique<TAtomHeads>(*rules.OutputMFList);
    tools.WriteFormatVersion(out);
    tools.WriteStartTag(out, "FuzzyRules");
    tools.WriteString(out, "RuleType", rules.RuleList->Name);
    tools.WriteNewline(out);
    TFuzzyMFFiler::SaveMFList(out, *rules.InputMFList);
    TFuzzyMFFiler::SaveMFList(out, *rules.OutputMFList);
    tools.WriteStartTag(out, "RuleList");
    tools.WriteNewline(out);
}

TRuleFileWriter::~TRuleFileWriter() = default;

void TRuleFileWriter::Write(const TRule& rule) {
    AppendRule(*text_, rule, *inputs_, *outputs_);
    text_->EndLine();
    text_->EndLine();
}

std::string TRuleFileWriter::RuleText(const TFuzzyRuleSet& rules, const TRule& rule) {
    GLEAN_CHECK(rules.InputMFList != nullptr);
    GLEAN_CHECK(rules.OutputMFList != nullptr);
    std::ostringstream out;
    TRuleText text(out);
    TAtomHeads inputs(*rules.InputMFList);
    TAtomHeads outputs(*rules.OutputMFList);
    AppendRule(text, rule, inputs, outputs);
    text.Flush();
    return out.str();
}

void TRuleFileWriter::AppendRule(TRuleText& text, const TRule& rule, TAtomHeads& inputs,
                                 TAtomHeads& outputs) {
    text.Append("if ");
    if (rule.Antecedent) {
        AppendExpression(text, *rule.Antecedent, 0, inputs);
    } else {
        text.Append("NULL");
    }
    text.EndLine();
    text.Append("  then ");
    AppendConsequences(text, rule.ConsequenceList.get(), outputs);
}

void TRuleFileWriter::Finish() {
    text_->Flush();
    tools_.WriteEndTag(out_, "RuleList");
    tools_.WriteNewline(out_);
    tools_.WriteEndTag(out_, "FuzzyRules");
    out_.flush();
}

std::unique_ptr<TFuzzyRuleSet> TRuleFile::LoadRules(FileTools& tools, std::istream& in) {
    auto result = std::make_unique<TFuzzyRuleSet>();
    BlockItem item;
    tools.ReadItem(in, item);
    const std::string top = tools.ExpectBlockStart(in, item, "FUZZYRULES");
    tools.ReadItem(in, item, &top);
    const std::string ruleType = tools.ReadString(in, item, "RULETYPE");
    result->InputMFList = TFuzzyMFFiler::LoadMFList(in, &top);
    result->OutputMFList = TFuzzyMFFiler::LoadMFList(in, &top);
    tools.ReadItem(in, item, &top);
    const std::string block = tools.ExpectBlockStart(in, item, "RULELIST");
    result->RuleList = std::make_unique<TRuleList>(ruleType, 0);

    TRuleFile reader(tools, in, *result->InputMFList);
    tools.ReadItem(in, item, &block);
    while (IsToken(item, "IF"))
        reader.ReadRule(*result->RuleList, *result->OutputMFList, item, block);
    tools.ExpectBlockEnd(in, item);
    tools.ReadItem(in, item, &top);
    tools.ExpectBlockEnd(in, item);
    return result;
}

// Reads a rule after its "if" and appends it; item is left holding the item after the rule.
void TRuleFile::ReadRule(TRuleList& rules, const TMFSetList& outputs, BlockItem& item,
                         const std::string& block) {
    std::string token;
    TRuleExpression antecedent = LoadExpression(token);
    if (token.empty()) token = Next();
    if (!SameText(token, "THEN")) Fail("Missing 'then'", "TRuleFile::LoadRules");

    auto consequences = std::make_unique<TRuleConsequenceList>(0);
    const auto insertAtom = [&] {
        const TRuleAtom atom = LoadAtom(outputs);
        consequences->InsertConsequence(atom.Variable, atom.Term, atom.Weight, atom.Negated, -1);
    };
    tools_.ReadItem(in_, item, &block);
    if (IsToken(item, "<")) {
        insertAtom();
        tools_.ReadItem(in_, item, &block);
    } else if (item.kind == BlockItem::Token) {  // "NULL": no consequence
        tools_.ReadItem(in_, item, &block);
    }
    while (IsToken(item, "AND")) {
        if (Next() != "<") Fail("Consequence expected after 'and'", "TRuleFile::LoadRules");
        insertAtom();
        tools_.ReadItem(in_, item, &block);
    }
    rules.InsertRule(
        TRule(std::make_unique<TRuleExpression>(std::move(antecedent)), std::move(consequences)),
        -1);
}

TRuleFile::TRuleFile(FileTools& tools, std::istream& in, const TMFSetList& inputs)
    : tools_(tools), in_(in), inputs_(inputs) {}

TRuleExpression TRuleFile::LoadExpression(std::string& token, int minPrecedence,
                                          int expectedClass) {
    return Parse(token, minPrecedence, expectedClass).expression;
}

TRuleFile::Parsed TRuleFile::Parse(std::string& token, int m, int expectedClass) {
    const TNestingGuard guard(nesting_);
    if (token.empty()) token = Next();
    if (token.empty()) return {};
    Parsed result;
    if (token == "<") result.expression = TRuleExpression(LoadAtom(inputs_));
    std::string op = std::move(token);
    token.clear();
    TOperatorProps current = PropsOf(op);
    if (current.cls != expectedClass) IllFormed(1);

    bool bracketOpen = false;
    if (m < current.right) {
        token = Next();
        TOperatorProps next = PropsOf(token);
        if (next.cls != current.follow) IllFormed(2);
        if (current.left < next.right) {  // a prefix operator and its operand
            Parsed operand = Parse(token, current.left, current.follow);
            if (operand.Empty()) IllFormed(3);
            result = std::move(operand);
            if (op == "(") {
                bracketOpen = true;
            } else {
                result.Wrap(op);
            }
            if (token.empty()) {
                token = Next();
                if (token.empty()) return result;
            }
            next = PropsOf(token);
            if (next.cls != 2) IllFormed(4);
        }
        while (m < next.right || (bracketOpen && token == ")")) {
            // Makes the token in hand the operator and reads the token after it.
            const auto advance = [&](int step) {
                op = std::move(token);
                current = PropsOf(op);
                token = Next();
                next = PropsOf(token);
                if (next.cls != current.follow) IllFormed(step);
            };
            advance(5);
            bool infix = true;
            while (current.left > next.right) {  // closing operators
                if (op == ")") {
                    if (!bracketOpen) Fail("Extra right bracket", "TRuleFile::LoadExpression");
                    bracketOpen = false;
                } else {
                    result.Wrap(op);
                }
                if (!(m < next.right)) {
                    infix = false;
                    break;
                }
                advance(6);
            }
            if (infix) {
                Parsed operand = Parse(token, current.left, current.follow);
                result.Join(op, current.left == current.right, std::move(operand));
            }
            if (token.empty()) token = Next();
            next = PropsOf(token);
        }
    }
    if (bracketOpen) Fail("Missing right bracket", "TRuleFile::LoadExpression");
    return result;
}

TRuleAtom TRuleFile::LoadAtom(const TMFSetList& list) {
    TRuleAtom atom;
    const std::string variable = Next();
    atom.Variable =
        FindNamed(list.VariablesRepresented, variable, [&](int i) { return list.GetMFSet(i); });
    if (atom.Variable < 0) FailAtom("Invalid input or output name");
    if (!SameText(Next(), "is")) FailAtom("'is' expected");

    std::vector<std::string> words;
    for (std::string word = Next(); word != ">"; word = Next()) {
        if (words.size() == 3) FailAtom("'>' expected");
        words.push_back(std::move(word));
    }
    if (words.size() >= 2 && ReadsAsNumber(words.back(), atom.Weight)) words.pop_back();
    if (words.size() == 3) FailAtom("Extra parameter(s), '>' expected");
    if (words.size() == 2) {
        if (!SameText(words.front(), "NOT")) FailAtom("Extra parameter, '>' expected");
        atom.Negated = true;
    }
    // Without any word there is no term to find.
    const TBasicMFSet& set = *list.GetMFSet(atom.Variable);
    atom.Term = words.empty()
                    ? -1
                    : FindNamed(set.NumberOfMF, words.back(), [&](int i) { return set.GetMF(i); });
    if (atom.Term < 0) FailAtom("Invalid classification name");
    return atom;
}

}  // namespace glean

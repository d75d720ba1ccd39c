// The rule file: a TFuzzyRuleSet as a block text file, the rules as readable if-then lines.
//
// Grammar (keywords and operators ignoring case):
//
//   rule-file    = [ "[FormatVersion = 1.0]" ] "[FuzzyRules]" "[RuleType =" text "]"
//                  mf-list mf-list                       (inputs, then outputs: TFuzzyMFFiler.h)
//                  "[RuleList]" { rule } "[~RuleList]" "[~FuzzyRules]" ;
//   rule         = "if" expression "then" consequences ;
//   consequences = ( atom | any-other-token ) { "and" atom } ;   (the writer writes "NULL")
//   atom         = "<" variable "is" [ "not" ] term [ weight ] ">" ;
//   expression   = operand { ( "and" | "or" ) operand } ;
//   operand      = atom | "not" operand | "(" expression ")" ;
//
// Precedence: "not" binds tighter than "and", "and" tighter than "or". An "and" chain is one
// operator list; an "or" chain nests to the left. Brackets make no node of their own. Variables
// name sets of the MF list (inputs for the antecedent, outputs for the consequences), terms name
// MFs of that set; a weight is a number, 1 when omitted, written with six significant digits.
//
// Reader failures are TExceptions with Message "Bad Rule File", the specific text in Kind and the
// reading operation in Operation, or FileTools::Error for the block syntax.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "FuzzySets/TMFSetList.h"
#include "RuleObject/RuleObject.h"

namespace glean {

class TRuleFile {
public:
    // Writes the whole file. Requires the three parts of the set (internal check); fails with
    // the TExceptions of GetMFSet and GetMF for atoms that point outside the MF lists.
    static void SaveRules(FileTools& tools, std::ostream& out, const TFuzzyRuleSet& rules);
    // Reads a whole file into a new rule set. Throws as described above; nothing read is kept.
    static std::unique_ptr<TFuzzyRuleSet> LoadRules(FileTools& tools, std::istream& in);

    // An expression reader on a stream whose antecedent atoms refer to inputs.
    TRuleFile(FileTools& tools, std::istream& in, const TMFSetList& inputs);

    // Reads one expression by operator precedence. token is the current token (empty: read one)
    // and holds the token that ended the expression on return. Returns an empty expression when
    // the input ends at once. Throws "Ill formed expression" (operations "(1)" to "(6)"),
    // "Extra right bracket", "Missing right bracket", "Expression nested too deeply", and what
    // LoadAtom throws.
    TRuleExpression LoadExpression(std::string& token, int minPrecedence = 1,
                                   int expectedClass = 1);
    // Reads the rest of an atom whose "<" has been read, naming sets and MFs of list. Throws
    // "Invalid input or output name", "'is' expected", "'>' expected", "Extra parameter(s), '>'
    // expected", "Extra parameter, '>' expected", "Invalid classification name".
    TRuleAtom LoadAtom(const TMFSetList& list);

private:
    struct Parsed;
    Parsed Parse(std::string& token, int minPrecedence, int expectedClass);
    void ReadRule(TRuleList& rules, const TMFSetList& outputs, BlockItem& item,
                  const std::string& block);
    std::string Next() { return tools_.NextToken(in_); }

    FileTools& tools_;
    std::istream& in_;
    const TMFSetList& inputs_;
    int nesting_ = 0;  // LoadExpression calls in progress
};

class TRuleText;  // the rule lines a TRuleFileWriter has not handed to its stream yet

// SaveRules a rule at a time, for rules written as they are made instead of held all at once.
// The constructor writes everything before the first rule (of the set's rule list only the rule
// type is used), Write one rule whose atoms point into the set's MF lists, Finish everything
// after the last rule. The MF lists must stay as they are while the writer lives: the text of
// each variable and term is made once.
class TRuleFileWriter {
public:
    TRuleFileWriter(FileTools& tools, std::ostream& out, const TFuzzyRuleSet& rules);
    TRuleFileWriter(const TRuleFileWriter&) = delete;
    TRuleFileWriter& operator=(const TRuleFileWriter&) = delete;
    ~TRuleFileWriter();

    // Fails as SaveRules does for atoms outside the MF lists.
    void Write(const TRule& rule);
    void Finish();

    // The lines of one rule as the rule file holds them, "if ...\n  then ...", without a line
    // end after them; the atoms point into the MF lists of `rules`. Fails as Write does.
    static std::string RuleText(const TFuzzyRuleSet& rules, const TRule& rule);

private:
    class TAtomHeads;

    static void AppendRule(TRuleText& text, const TRule& rule, TAtomHeads& inputs,
                           TAtomHeads& outputs);

    FileTools& tools_;
    std::ostream& out_;
    std::unique_ptr<TRuleText> text_;  // rule lines not yet handed to out_
    std::unique_ptr<TAtomHeads> inputs_;
    std::unique_ptr<TAtomHeads> outputs_;
};

}  // namespace glean

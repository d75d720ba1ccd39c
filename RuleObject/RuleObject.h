// The rule object model: rules whose antecedent is an expression tree of atoms and operator lists,
// and whose consequences are a flat list of atoms. Atoms name variables and terms by position: the
// variable in an MF set list, the term in that variable's MF set.
//
// Positions: every operation that takes a position exprnum also accepts -1, meaning the last entry
// (get, remove, replace, set) or after the last entry (insert). A position out of range fails an
// internal check quoting "exprnum>=0" or "exprnum<numX" / "exprnum<=numX".
// Lists grow by exactly one entry whenever an insertion finds them full.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "FuzzySets/TMFSetList.h"

namespace glean {

// One statement "variable is [not] term", with a weight.
struct TRuleAtom {
    int Variable = 0;  // position of the variable's set in the MF set list
    int Term = 0;      // position of the term's MF in that set
    double Weight = 1.0;
    bool Negated = false;
};

// The positioned array behind the three lists: Capacity() entries, the first Count() in use, the
// spare ones default values. The two texts are the upper-bound assertions of the list's positions.
template <typename T>
class TPositionedArray {
public:
    TPositionedArray(int capacity, const char* belowCount, const char* atMostCount);

    int Count() const { return count_; }
    int Capacity() const { return static_cast<int>(entries_.size()); }
    // When Count() < n: Capacity() becomes n (it may shrink to n). Otherwise nothing.
    void Reserve(int n);
    // The entry at exprnum (-1: the last).
    T& At(int exprnum);
    const T& At(int exprnum) const;
    // Moves value in at exprnum (-1: after the last); later entries move up one place.
    void Insert(T value, int exprnum);
    // Resets the entry at exprnum (-1: the last); later entries move down one place.
    void Remove(int exprnum);
    // Resets the entry at exprnum (-1: the last) and moves value into it.
    void Replace(T value, int exprnum);

private:
    std::size_t Existing(int exprnum) const;  // checked position of an entry in use

    std::vector<T> entries_;
    int count_ = 0;
    const char* belowCount_;
    const char* atMostCount_;
};

class TRuleExprList;

// A handle on an atom (ExprKind 1), an operator list (ExprKind 2), or nothing (ExprKind 0).
// Copies are deep; a move leaves its source empty.
class TRuleExpression {
public:
    TRuleExpression();
    explicit TRuleExpression(const TRuleAtom& atom);
    // Requires list != null.
    explicit TRuleExpression(std::unique_ptr<TRuleExprList> list);
    TRuleExpression(const TRuleExpression& other);
    TRuleExpression(TRuleExpression&& other) noexcept;
    TRuleExpression& operator=(const TRuleExpression& other);
    TRuleExpression& operator=(TRuleExpression&& other) noexcept;
    ~TRuleExpression();

    // 0 empty, 1 atom, 2 operator list.
    int ExprKind() const;
    // Destroys the content and leaves the expression empty.
    void Clear();
    // The content; requires ExprKind() 1, respectively 2.
    TRuleAtom& Atom();
    const TRuleAtom& Atom() const;
    TRuleExprList& List();
    const TRuleExprList& List() const;

private:
    std::variant<std::monostate, TRuleAtom, std::unique_ptr<TRuleExprList>> content_;
};

// An operator node joining its sub-expressions, e.g. "and", "or", "not".
class TRuleExprList {
public:
    // Operator "no-op", capacity 0.
    TRuleExprList();
    TRuleExprList(std::string op, int capacity);

    int numSubExpressions() const { return entries_.Count(); }
    int Capacity() const { return entries_.Capacity(); }
    void Reserve(int n);
    // Borrowed; checked ("exprnum>=0", "exprnum<numSubExpressions").
    TRuleExpression& GetSubExpression(int exprnum);
    const TRuleExpression& GetSubExpression(int exprnum) const;
    // Checked ("exprnum>=0", "exprnum<=numSubExpressions").
    void InsertSubExpression(TRuleExpression expression, int exprnum);
    // Checked ("exprnum>=0", "exprnum<numSubExpressions").
    void RemoveSubExpression(int exprnum);
    void ReplaceSubExpression(TRuleExpression expression, int exprnum);

    std::string Operator;

private:
    TPositionedArray<TRuleExpression> entries_;
};

// The consequences of a rule; spare entries are new atoms.
class TRuleConsequenceList {
public:
    explicit TRuleConsequenceList(int capacity = 0);

    int numConsequences() const { return entries_.Count(); }
    int Capacity() const { return entries_.Capacity(); }
    void Reserve(int n);
    // Checked ("exprnum>=0", "exprnum<numConsequences").
    const TRuleAtom& GetConsequence(int exprnum) const;
    // Checked ("exprnum>=0", "exprnum<=numConsequences").
    void InsertConsequence(int variable, int term, double weight, bool negated, int exprnum);
    // Checked ("exprnum>=0", "exprnum<numConsequences").
    void RemoveConsequence(int exprnum);
    void SetConsequence(int variable, int term, double weight, bool negated, int exprnum);

private:
    TPositionedArray<TRuleAtom> entries_;
};

// If Antecedent holds, the consequences follow. A new rule has neither; copies are deep.
class TRule {
public:
    TRule() = default;
    TRule(std::unique_ptr<TRuleExpression> antecedent,
          std::unique_ptr<TRuleConsequenceList> consequenceList);
    TRule(const TRule& other);
    TRule(TRule&& other) noexcept = default;
    TRule& operator=(const TRule& other);
    TRule& operator=(TRule&& other) noexcept = default;
    ~TRule();

    // Destroys antecedent and consequences, leaving the rule empty.
    void Clear();

    std::unique_ptr<TRuleExpression> Antecedent;
    std::unique_ptr<TRuleConsequenceList> ConsequenceList;
};

// The rules one method produced; Name is the rule type written to rule files. Owns its rules.
class TRuleList {
public:
    TRuleList(std::string name, int capacity);

    int numRules() const { return entries_.Count(); }
    int Capacity() const { return entries_.Capacity(); }
    void Reserve(int n);
    // Checked ("exprnum>=0", "exprnum<numRules").
    TRule& GetRule(int exprnum);
    const TRule& GetRule(int exprnum) const;
    // Checked ("exprnum>=0", "exprnum<=numRules").
    void InsertRule(TRule rule, int exprnum);
    // Checked ("exprnum>=0", "exprnum<numRules").
    void RemoveRule(int exprnum);
    void ReplaceRule(TRule rule, int exprnum);
    // Appends deep copies of the other list's rules, in order (other may be this list).
    void AppendRules(const TRuleList& other);

    std::string Name;

private:
    TPositionedArray<TRule> entries_;
};

// Rules with the MF lists their atoms refer to: antecedents to the inputs, consequences to the
// outputs. Owns all three; each is null until set.
struct TFuzzyRuleSet {
    std::unique_ptr<TMFSetList> InputMFList;
    std::unique_ptr<TRuleList> RuleList;
    std::unique_ptr<TMFSetList> OutputMFList;
};

}  // namespace glean

#include "RuleObject/RuleObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

TRuleExpression AtomExpr(int variable) {
    TRuleAtom atom;
    atom.Variable = variable;
    return TRuleExpression(atom);
}

// The variables of the atoms of a flat list, in order.
std::vector<int> Variables(const TRuleExprList& list) {
    std::vector<int> result;
    for (int i = 0; i < list.numSubExpressions(); ++i) {
        result.push_back(list.GetSubExpression(i).Atom().Variable);
    }
    return result;
}

// The list P(1), Q(2), R(3) under the given operator.
TRuleExprList Pqr(const std::string& op = "and") {
    TRuleExprList list(op, 0);
    for (int v : {1, 2, 3})
        list.InsertSubExpression(AtomExpr(v), -1);
    return list;
}

std::unique_ptr<TRuleExprList> NestedAndOr() {
    auto inner = std::make_unique<TRuleExprList>(Pqr("or"));
    auto outer = std::make_unique<TRuleExprList>("and", 1);
    outer->InsertSubExpression(TRuleExpression(std::move(inner)), -1);
    outer->InsertSubExpression(AtomExpr(9), -1);
    return outer;
}

TEST(TRuleAtom, NewAtomIsVariableZeroTermZeroWeightOneNotNegated) {
    const TRuleAtom atom;
    EXPECT_EQ(atom.Variable, 0);
    EXPECT_EQ(atom.Term, 0);
    EXPECT_EQ(atom.Weight, 1.0);
    EXPECT_FALSE(atom.Negated);
}

TEST(TRuleExprList, GrowsByOneEntryWhenFull) {
    TRuleExprList list("and", 0);
    EXPECT_EQ(list.Operator, "and");
    list.InsertSubExpression(AtomExpr(1), -1);
    EXPECT_EQ(list.numSubExpressions(), 1);
    EXPECT_EQ(list.Capacity(), 1);
    list.InsertSubExpression(AtomExpr(2), -1);
    EXPECT_EQ(list.numSubExpressions(), 2);
    EXPECT_EQ(list.Capacity(), 2);

    const TRuleExprList noOp;
    EXPECT_EQ(noOp.Operator, "no-op");
    EXPECT_EQ(noOp.Capacity(), 0);
}

TEST(TRuleExprList, ReserveNeverDropsEntriesInUse) {
    TRuleExprList list = Pqr();
    list.Reserve(2);
    EXPECT_EQ(list.Capacity(), 3);
    list.Reserve(6);
    EXPECT_EQ(list.Capacity(), 6);
    list.Reserve(4);  // shrinks to n, keeping what is in use
    EXPECT_EQ(list.Capacity(), 4);
    EXPECT_EQ(Variables(list), (std::vector<int>{1, 2, 3}));
    list.InsertSubExpression(AtomExpr(4), -1);
    EXPECT_EQ(list.Capacity(), 4);
}

TEST(TRuleExprList, InsertRemoveReplaceAtPositions) {
    TRuleExprList list("or", 2);
    list.InsertSubExpression(AtomExpr(1), -1);
    list.InsertSubExpression(AtomExpr(2), -1);
    list.InsertSubExpression(AtomExpr(7), 0);
    EXPECT_EQ(Variables(list), (std::vector<int>{7, 1, 2}));
    list.InsertSubExpression(AtomExpr(8), 3);  // at the count: after the last
    list.InsertSubExpression(AtomExpr(6), 1);
    EXPECT_EQ(Variables(list), (std::vector<int>{7, 6, 1, 2, 8}));

    TRuleExprList pqr = Pqr();
    pqr.RemoveSubExpression(-1);
    EXPECT_EQ(Variables(pqr), (std::vector<int>{1, 2}));
    pqr = Pqr();
    pqr.RemoveSubExpression(0);
    EXPECT_EQ(Variables(pqr), (std::vector<int>{2, 3}));
    EXPECT_EQ(pqr.Capacity(), 3);
    pqr.ReplaceSubExpression(AtomExpr(5), -1);
    pqr.ReplaceSubExpression(AtomExpr(4), 0);
    EXPECT_EQ(Variables(pqr), (std::vector<int>{4, 5}));
    EXPECT_EQ(pqr.GetSubExpression(-1).Atom().Variable, 5);
}

TEST(TRuleExpression, KindsAndTheirContent) {
    TRuleExpression empty;
    EXPECT_EQ(empty.ExprKind(), 0);

    TRuleExpression atom = AtomExpr(4);
    EXPECT_EQ(atom.ExprKind(), 1);
    TRuleExpression list(std::make_unique<TRuleExprList>(Pqr()));
    EXPECT_EQ(list.ExprKind(), 2);
    list.Clear();
    EXPECT_EQ(list.ExprKind(), 0);

    TRuleExpression moved = std::move(atom);
    EXPECT_EQ(moved.Atom().Variable, 4);
    EXPECT_EQ(atom.ExprKind(), 0);  // NOLINT(bugprone-use-after-move): moving empties the source
}

TEST(TRuleExpression, DeepCopySharesNothing) {
    const TRuleExpression source(NestedAndOr());
    TRuleExpression copy = source;
    copy.List().GetSubExpression(0).List().RemoveSubExpression(0);
    copy.List().GetSubExpression(1).Atom().Weight = 0.5;
    copy.List().Operator = "or";

    const TRuleExprList& original = source.List();
    EXPECT_EQ(original.Operator, "and");
    EXPECT_EQ(Variables(original.GetSubExpression(0).List()), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(original.GetSubExpression(1).Atom().Weight, 1.0);

    copy.Clear();
    EXPECT_EQ(source.List().numSubExpressions(), 2);
    EXPECT_EQ(source.List().Capacity(), 2);
}

TEST(TRuleExpression, AssigningAChildToItsParent) {
    TRuleExpression tree(NestedAndOr());
    tree = TRuleExpression(tree.List().GetSubExpression(0));  // copy of the "or" child
    EXPECT_EQ(tree.List().Operator, "or");
    EXPECT_EQ(Variables(tree.List()), (std::vector<int>{1, 2, 3}));
    tree = std::move(tree.List().GetSubExpression(1));  // moving a leaf out of its own tree
    EXPECT_EQ(tree.Atom().Variable, 2);
}

TEST(TRuleConsequenceList, InsertSetRemoveAndChecks) {
    TRuleConsequenceList list;
    EXPECT_EQ(list.Capacity(), 0);
    list.InsertConsequence(1, 2, 0.5, true, -1);
    list.InsertConsequence(3, 4, 0.25, false, 0);
    EXPECT_EQ(list.numConsequences(), 2);
    EXPECT_EQ(list.Capacity(), 2);
    EXPECT_EQ(list.GetConsequence(0).Variable, 3);
    const TRuleAtom& last = list.GetConsequence(-1);
    EXPECT_EQ(last.Term, 2);
    EXPECT_EQ(last.Weight, 0.5);
    EXPECT_TRUE(last.Negated);

    list.SetConsequence(5, 6, 0.75, false, -1);
    EXPECT_EQ(list.GetConsequence(1).Variable, 5);
    list.RemoveConsequence(0);
    EXPECT_EQ(list.numConsequences(), 1);
    EXPECT_EQ(list.GetConsequence(0).Term, 6);
}

TRule MakeRule(int variable) {
    auto consequences = std::make_unique<TRuleConsequenceList>(0);
    consequences->InsertConsequence(variable, 0, 1.0, false, -1);
    return TRule(std::make_unique<TRuleExpression>(AtomExpr(variable)), std::move(consequences));
}

std::vector<int> RuleVariables(const TRuleList& list) {
    std::vector<int> result;
    for (int i = 0; i < list.numRules(); ++i) {
        result.push_back(list.GetRule(i).Antecedent->Atom().Variable);
    }
    return result;
}

TEST(TRuleList, PositionsAndChecks) {
    TRuleList list("Ombra", 0);
    EXPECT_EQ(list.Name, "Ombra");
    for (int v : {1, 2, 3})
        list.InsertRule(MakeRule(v), -1);
    EXPECT_EQ(list.Capacity(), 3);
    list.InsertRule(MakeRule(0), 0);
    list.RemoveRule(-1);
    list.ReplaceRule(MakeRule(9), 1);
    EXPECT_EQ(RuleVariables(list), (std::vector<int>{0, 9, 2}));
}

// Lists of three entries: a position is 0 to 2 (3 to insert at the end, -1 for the last), and
// just past either end fails a check; a failed call leaves the list as it was. An expression
// hands out only the content of its kind.
TEST(RuleObject, PositionsJustPastEitherEndFailChecks) {
    TRuleExprList expressions = Pqr();
    TRuleConsequenceList consequences;
    TRuleList rules("Ombra", 0);
    for (int v : {1, 2, 3}) {
        consequences.InsertConsequence(v, 0, 1.0, false, -1);
        rules.InsertRule(MakeRule(v), -1);
    }
    EXPECT_EQ(expressions.GetSubExpression(2).Atom().Variable, 3);
    EXPECT_EQ(consequences.GetConsequence(2).Variable, 3);
    EXPECT_EQ(rules.GetRule(2).Antecedent->Atom().Variable, 3);
    TRuleExprList empty;
    TRuleExpression nothing;
    test::ExpectGuardsFire({
        {"insert after the end", [&] { expressions.InsertSubExpression(AtomExpr(0), 4); }},
        {"insert before the start", [&] { expressions.InsertSubExpression(AtomExpr(0), -2); }},
        {"remove past the last", [&] { expressions.RemoveSubExpression(3); }},
        {"remove before the start", [&] { expressions.RemoveSubExpression(-2); }},
        {"replace past the last", [&] { expressions.ReplaceSubExpression(AtomExpr(0), 3); }},
        {"get past the last", [&] { expressions.GetSubExpression(3); }},
        {"remove the last of none", [&] { empty.RemoveSubExpression(-1); }},
        {"get the last of none", [&] { empty.GetSubExpression(-1); }},
        {"consequence past the last", [&] { consequences.GetConsequence(3); }},
        {"set past the last", [&] { consequences.SetConsequence(0, 0, 1, false, 3); }},
        {"remove before the start", [&] { consequences.RemoveConsequence(-2); }},
        {"insert after the end", [&] { consequences.InsertConsequence(0, 0, 1, false, 4); }},
        {"rule past the last", [&] { rules.GetRule(3); }},
        {"remove past the last", [&] { rules.RemoveRule(3); }},
        {"replace before the start", [&] { rules.ReplaceRule(MakeRule(0), -2); }},
        {"insert after the end", [&] { rules.InsertRule(MakeRule(0), 4); }},
        {"the atom of an empty expression", [&] { nothing.Atom(); }},
        {"the list of an empty expression", [&] { nothing.List(); }},
    });
    EXPECT_EQ(Variables(expressions), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(consequences.numConsequences(), 3);
    EXPECT_EQ(RuleVariables(rules), (std::vector<int>{1, 2, 3}));
}

TEST(TRule, ClearAndEmptyRule) {
    TRule rule = MakeRule(1);
    rule.Clear();
    EXPECT_EQ(rule.Antecedent, nullptr);
    EXPECT_EQ(rule.ConsequenceList, nullptr);
    const TRule copy = rule;  // copying an empty rule
    EXPECT_EQ(copy.Antecedent, nullptr);
}

TEST(TRuleList, AppendRulesCopiesDeeply) {
    TRuleList target("A", 0);
    target.InsertRule(MakeRule(1), -1);
    {
        TRuleList other("B", 0);
        other.InsertRule(MakeRule(2), -1);
        other.InsertRule(MakeRule(3), -1);
        target.AppendRules(other);
        other.GetRule(0).Antecedent->Atom().Variable = 7;
        other.GetRule(1).ConsequenceList->RemoveConsequence(0);
    }  // the other list and its rules are gone; the appended copies must survive
    EXPECT_EQ(RuleVariables(target), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(target.GetRule(2).ConsequenceList->numConsequences(), 1);

    target.AppendRules(target);
    EXPECT_EQ(RuleVariables(target), (std::vector<int>{1, 2, 3, 1, 2, 3}));
}

}  // namespace
}  // namespace glean

#include "FileHandler/TRuleFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

// A set of singleton MFs with the given names.
std::unique_ptr<TBasicMFSet> Set(const std::string& name, const std::vector<std::string>& terms) {
    auto set =
        std::make_unique<TBasicMFSet>("Singleton", name, static_cast<int>(terms.size()), 0, 1);
    for (int i = 0; i < set->NumberOfMF; ++i) {
        auto mf = std::make_unique<TSingletonMF>(terms[static_cast<std::size_t>(i)]);
        mf->Centre = 0.25 * i;
        set->SetMF(i, std::move(mf));
    }
    return set;
}

std::unique_ptr<TMFSetList> Inputs() {
    auto list = std::make_unique<TMFSetList>(2, "Inputs");
    list->SetMFSet(0, Set("InputA", {"A", "B", "C"}));
    list->SetMFSet(1, Set("InputB", {"C", "D"}));
    return list;
}

std::unique_ptr<TMFSetList> Outputs() {
    auto list = std::make_unique<TMFSetList>(1, "Outputs");
    list->SetMFSet(0, Set("OutputA", {"A", "B"}));
    return list;
}

TRuleExpression Atom(int variable, int term, double weight = 1.0, bool negated = false) {
    return TRuleExpression(TRuleAtom{variable, term, weight, negated});
}

TRuleExpression List(const std::string& op, std::vector<TRuleExpression> subs) {
    auto list = std::make_unique<TRuleExprList>(op, 0);
    for (auto& sub : subs)
        list->InsertSubExpression(std::move(sub), -1);
    return TRuleExpression(std::move(list));
}

std::vector<TRuleExpression> Exprs(TRuleExpression a, TRuleExpression b) {
    std::vector<TRuleExpression> v;
    v.push_back(std::move(a));
    v.push_back(std::move(b));
    return v;
}

std::vector<TRuleExpression> Exprs(TRuleExpression a) {
    std::vector<TRuleExpression> v;
    v.push_back(std::move(a));
    return v;
}

std::vector<TRuleExpression> Exprs(TRuleExpression a, TRuleExpression b, TRuleExpression c) {
    auto v = Exprs(std::move(a), std::move(b));
    v.push_back(std::move(c));
    return v;
}

void AddRule(TRuleList& rules, TRuleExpression antecedent, std::vector<TRuleAtom> consequences) {
    auto list = std::make_unique<TRuleConsequenceList>(0);
    for (const TRuleAtom& a : consequences) {
        list->InsertConsequence(a.Variable, a.Term, a.Weight, a.Negated, -1);
    }
    rules.InsertRule(
        TRule(std::make_unique<TRuleExpression>(std::move(antecedent)), std::move(list)), -1);
}

TFuzzyRuleSet RuleSet(std::unique_ptr<TRuleList> rules) {
    TFuzzyRuleSet set;
    set.InputMFList = Inputs();
    set.RuleList = std::move(rules);
    set.OutputMFList = Outputs();
    return set;
}

std::string Saved(const TFuzzyRuleSet& set) {
    FileTools tools;
    std::ostringstream out;
    TRuleFile::SaveRules(tools, out, set);
    return out.str();
}

std::unique_ptr<TFuzzyRuleSet> Loaded(const std::string& text) {
    FileTools tools;
    std::istringstream in(text);
    return TRuleFile::LoadRules(tools, in);
}

// A whole rule file over Inputs() and Outputs() whose rule list holds the given text.
std::string FileWithRules(const std::string& rules) {
    std::string text = Saved(RuleSet(std::make_unique<TRuleList>("Ombra", 0)));
    const std::string start = "[RuleList]\n\n";
    return text.insert(text.find(start) + start.size(), rules);
}

// Reads one expression from text against Inputs(); token receives the token that ended it.
TRuleExpression Expression(const std::string& text, std::string* token = nullptr) {
    FileTools tools;
    std::istringstream in(text);
    const auto inputs = Inputs();
    TRuleFile reader(tools, in, *inputs);
    std::string slot;
    TRuleExpression result = reader.LoadExpression(slot);
    if (token != nullptr) *token = slot;
    return result;
}

TRuleAtom AtomOf(const std::string& text, const TMFSetList& list) {
    FileTools tools;
    std::istringstream in(text);
    return TRuleFile(tools, in, list).LoadAtom(list);
}

// The tree in a compact form: atoms as variable.term, lists as operator(sub, ...).
std::string Shape(const TRuleExpression& e) {
    if (e.ExprKind() == 0) return "empty";
    if (e.ExprKind() == 1) {
        const TRuleAtom& a = e.Atom();
        return (a.Negated ? "!" : "") + std::to_string(a.Variable) + "." + std::to_string(a.Term);
    }
    std::string text = e.List().Operator + "(";
    for (int i = 0; i < e.List().numSubExpressions(); ++i) {
        text += (i > 0 ? ", " : "") + Shape(e.List().GetSubExpression(i));
    }
    return text + ")";
}

std::string Shape(const TFuzzyRuleSet& set) {
    std::string text;
    for (int i = 0; i < set.RuleList->numRules(); ++i) {
        const TRule& rule = set.RuleList->GetRule(i);
        text += Shape(*rule.Antecedent) + " =>";
        for (int c = 0; c < rule.ConsequenceList->numConsequences(); ++c) {
            const TRuleAtom& a = rule.ConsequenceList->GetConsequence(c);
            text += " " + std::to_string(a.Variable) + "." + std::to_string(a.Term) + "/" +
                    std::to_string(a.Weight);
        }
        text += ";";
    }
    return text;
}

TEST(SaveRules, WritesTheExtractedRuleForm) {
    auto rules = std::make_unique<TRuleList>("Ombra", 0);
    AddRule(*rules, List("and", Exprs(Atom(0, 0, 0.8123456), Atom(1, 0, 0.7))),
            {{0, 1, 0.9, false}});
    AddRule(*rules, List("and", Exprs(Atom(0, 2, 1.0))), {});
    const std::string text = Saved(RuleSet(std::move(rules)));

    const std::string head =
        "[FormatVersion = 1.0]\n\n[FuzzyRules]\n[RuleType = Ombra]\n\n[MFList]\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string expectedRules =
        "[RuleList]\n\n"
        "if <InputA is A 0.812346> and <InputB is C 0.7>\n"
        "  then <OutputA is B 0.9>\n\n"
        "if <InputA is C 1>\n"
        "  then NULL\n\n"
        "[~RuleList]\n\n"
        "[~FuzzyRules]\n";
    ASSERT_GE(text.size(), expectedRules.size());
    EXPECT_EQ(text.substr(text.size() - expectedRules.size()), expectedRules);
    // Both MF lists stand between the rule type and the rules, inputs first.
    const auto inputs = text.find("[ListName = Inputs]");
    const auto outputs = text.find("[ListName = Outputs]");
    EXPECT_LT(inputs, outputs);
    EXPECT_LT(outputs, text.find("[RuleList]"));
}

TEST(SaveRules, ARuleAtATimeGivesTheSameBytesAndOneFlush) {
    auto rules = std::make_unique<TRuleList>("Ombra", 0);
    AddRule(*rules, List("and", Exprs(Atom(0, 0, 0.5), Atom(1, 1, 0.7))), {{0, 1, 0.9, false}});
    AddRule(*rules, Atom(1, 1, 0.25, true), {});
    const TFuzzyRuleSet set = RuleSet(std::move(rules));
    FileTools tools;
    test::FlushCounter buffer;
    std::ostream out(&buffer);
    TRuleFileWriter writer(tools, out, set);
    for (int i = 0; i < set.RuleList->numRules(); ++i)
        writer.Write(set.RuleList->GetRule(i));
    EXPECT_EQ(buffer.flushes, 0);
    writer.Finish();
    EXPECT_EQ(buffer.flushes, 1);
    EXPECT_EQ(buffer.str(), Saved(set));
    // The same term plain and negated: each has its own text.
    EXPECT_NE(buffer.str().find("if <InputA is A 0.5> and <InputB is D 0.7>\n"), std::string::npos);
    EXPECT_NE(buffer.str().find("if <InputB is not D 0.25>\n"), std::string::npos);
}

TEST(SaveRules, RuleTextIsThatRulesLinesInTheFile) {
    auto rules = std::make_unique<TRuleList>("Ombra", 0);
    AddRule(*rules, List("and", Exprs(Atom(0, 0, 0.5), Atom(1, 1, 0.7))), {{0, 1, 0.9, false}});
    AddRule(*rules, Atom(1, 1, 0.25, true), {});
    AddRule(*rules, TRuleExpression(), {{0, 0, 1e-7, false}});
    const TFuzzyRuleSet set = RuleSet(std::move(rules));
    EXPECT_EQ(TRuleFileWriter::RuleText(set, set.RuleList->GetRule(0)),
              "if <InputA is A 0.5> and <InputB is D 0.7>\n  then <OutputA is B 0.9>");
    std::string lines;
    for (int i = 0; i < set.RuleList->numRules(); ++i)
        lines += TRuleFileWriter::RuleText(set, set.RuleList->GetRule(i)) + "\n\n";
    EXPECT_NE(Saved(set).find("[RuleList]\n\n" + lines + "[~RuleList]"), std::string::npos);
}

TEST(SaveRules, ManyRulesAndLinesLongerThanTheWritersBufferComeBackWhole) {
    auto rules = std::make_unique<TRuleList>("Ombra", 0);
    for (int r = 0; r < 5000; ++r) {
        AddRule(*rules, List("and", Exprs(Atom(0, r % 3, 0.001 * r), Atom(1, 1, 0.5))),
                {{0, r % 2, 0.25, false}});
    }
    // One rule of 30,000 conditions: a line of about 700 kB.
    std::vector<TRuleExpression> conditions;
    for (int i = 0; i < 30000; ++i)
        conditions.push_back(Atom(i % 2, i % 2, 1.0 / (i + 1)));
    AddRule(*rules, List("and", std::move(conditions)), {{0, 0, 1.0, false}});
    const TFuzzyRuleSet original = RuleSet(std::move(rules));
    const std::string text = Saved(original);
    EXPECT_GT(text.size(), std::size_t{1000000});
    const auto loaded = Loaded(text);
    ASSERT_EQ(loaded->RuleList->numRules(), 5001);
    EXPECT_EQ(loaded->RuleList->GetRule(5000).Antecedent->List().numSubExpressions(), 30000);
    EXPECT_EQ(Shape(*loaded), Shape(original));
    EXPECT_EQ(Saved(*loaded), text);
}

TEST(SaveRules, WeightsUseSixSignificantDigitsWhateverTheStream) {
    auto rules = std::make_unique<TRuleList>("R", 0);
    AddRule(*rules, Atom(0, 1, 0.123456789, true), {{0, 0, 2.5e-7, false}, {0, 1, 100, false}});
    FileTools tools;
    std::ostringstream out;
    out.precision(12);
    out.setf(std::ios::fixed);
    TRuleFile::SaveRules(tools, out, RuleSet(std::move(rules)));
    EXPECT_NE(out.str().find("if <InputA is not B 0.123457>\n"
                             "  then <OutputA is A 2.5e-07> and <OutputA is B 100>\n"),
              std::string::npos);
}

TEST(SaveRules, OperatorsBracketsAndNull) {
    auto rules = std::make_unique<TRuleList>("R", 0);
    // P and (Q or (R and S)): the two closing brackets are kept apart.
    AddRule(*rules,
            List("and",
                 Exprs(Atom(0, 0),
                       List("or", Exprs(Atom(0, 1), List("and", Exprs(Atom(0, 2), Atom(1, 0))))))),
            {});
    AddRule(*rules, List("not", Exprs(List("or", Exprs(Atom(0, 0), Atom(0, 1))))), {});
    AddRule(*rules, List(")", Exprs(Atom(0, 0))), {});
    AddRule(*rules, List("and", {}), {});
    AddRule(*rules, TRuleExpression(), {});
    const std::string text = Saved(RuleSet(std::move(rules)));
    EXPECT_NE(text.find("if <InputA is A 1> and (<InputA is B 1> or (<InputA is C 1> and "
                        "<InputB is C 1>) )\n"),
              std::string::npos);
    EXPECT_NE(text.find("if not (<InputA is A 1> or <InputA is B 1>)\n"), std::string::npos);
    EXPECT_NE(text.find("if <InputA is A 1> )\n"), std::string::npos);
    EXPECT_NE(text.find("if NULL\n  then NULL\n\nif NULL\n  then NULL\n\n[~RuleList]"),
              std::string::npos);
}

TEST(SaveRules, AtomsOutsideTheMFListsFail) {
    auto rules = std::make_unique<TRuleList>("R", 0);
    AddRule(*rules, Atom(2, 0), {});
    EXPECT_TEXCEPTION(Saved(RuleSet(std::move(rules))), "Invalid MF set number", "Bad Parameter",
                      "TMFSetList::GetMFSet");
    rules = std::make_unique<TRuleList>("R", 0);
    AddRule(*rules, Atom(0, 0), {{0, 2, 1.0, false}});
    EXPECT_TEXCEPTION(Saved(RuleSet(std::move(rules))), "Bad MF Number", "Invalid Parameter",
                      "TBasicMFSet::GetMF");
}

TEST(RuleFile, RoundTripGivesTheSameRulesAndBytes) {
    auto rules = std::make_unique<TRuleList>("Ombra", 0);
    AddRule(*rules, List("and", Exprs(Atom(0, 0, 0.8123456), Atom(1, 1, 0.7))),
            {{0, 1, 0.9, false}, {0, 0, 0.25, true}});
    AddRule(*rules, List("or", Exprs(Atom(0, 0), List("and", Exprs(Atom(0, 1), Atom(1, 0))))), {});
    AddRule(*rules, List("or", Exprs(List("or", Exprs(Atom(0, 0), Atom(0, 1))), Atom(0, 2))),
            {{0, 0, 1.0, false}});
    AddRule(*rules, List("and", Exprs(List("not", Exprs(Atom(0, 0))), Atom(1, 1, 0.5, true))),
            {{0, 1, 1.0, false}});
    AddRule(*rules, List("not", Exprs(List("and", Exprs(Atom(0, 0), Atom(0, 1), Atom(0, 2))))), {});
    AddRule(*rules,
            List("and",
                 Exprs(Atom(0, 0),
                       List("or", Exprs(Atom(0, 1), List("and", Exprs(Atom(0, 2), Atom(1, 0))))))),
            {});
    const TFuzzyRuleSet original = RuleSet(std::move(rules));
    const std::string first = Saved(original);

    const auto loaded = Loaded(first);
    EXPECT_EQ(loaded->RuleList->Name, "Ombra");
    EXPECT_EQ(loaded->InputMFList->ListName, "Inputs");
    EXPECT_EQ(loaded->OutputMFList->ListName, "Outputs");
    EXPECT_EQ(loaded->RuleList->numRules(), 6);
    // The weights come back rounded to what the file holds.
    EXPECT_EQ(loaded->RuleList->GetRule(0).Antecedent->List().GetSubExpression(0).Atom().Weight,
              0.812346);
    const std::string originalShape = Shape(original);
    EXPECT_EQ(Shape(*loaded), originalShape);
    EXPECT_EQ(Saved(*loaded), first);
}

TEST(LoadExpression, PrecedenceAndNesting) {
    struct Case {
        const char* text;
        const char* shape;
    };
    const Case cases[] = {
        {"<InputA is A> or <InputA is B> and <InputA is C> then", "or(0.0, and(0.1, 0.2))"},
        {"<InputA is A> and <InputA is B> and <InputA is C> then", "and(0.0, 0.1, 0.2)"},
        {"<InputA is A> or <InputA is B> or <InputA is C> then", "or(or(0.0, 0.1), 0.2)"},
        {"<InputA is A> and <InputA is B> or <InputA is C> then", "or(and(0.0, 0.1), 0.2)"},
        {"not <InputA is A> then", "not(0.0)"},
        {"not <InputA is A> and <InputB is C> then", "and(not(0.0), 1.0)"},
        {"<InputA is A> AND NOT <InputB is not D> then",
         "AND(0.0, NOT(!1.1))"},  // operators keep the case of the file
        {"<InputA is A> and <InputA is B> then", "and(0.0, 0.1)"},
        {"not not <InputA is A> then", "not(not(0.0))"},
        {"(<InputA is A> or <InputA is B>) and <InputA is C> then", "and(or(0.0, 0.1), 0.2)"},
        {"( <InputA is A> ) then", "0.0"},
        {"<InputA is A> then", "0.0"},
        {"", "empty"},
    };
    for (const Case& c : cases) {
        std::string token;
        try {
            EXPECT_EQ(Shape(Expression(c.text, &token)), c.shape) << c.text;
            if (*c.text != '\0') {
                EXPECT_EQ(token, "then") << c.text;
            }
        } catch (const TException& e) {
            ADD_FAILURE() << c.text << ": " << e.Kind << " " << e.Operation;
        }
    }
}

TEST(LoadExpression, Failures) {
    const auto ill = [](const char* text, const char* operation) {
        EXPECT_TEXCEPTION(Expression(text), "Bad Rule File", "Ill formed expression", operation);
    };
    ill("and <InputA is A> then", "TRuleFile::LoadExpression(1)");
    ill("then", "TRuleFile::LoadExpression(1)");
    ill("<InputA is A> <InputA is B> then", "TRuleFile::LoadExpression(2)");
    ill("<InputA is A>", "TRuleFile::LoadExpression(2)");  // end of input after an atom
    ill("not and", "TRuleFile::LoadExpression(2)");
    ill("<InputA is A> and and <InputA is B> then", "TRuleFile::LoadExpression(5)");
    ill("<InputA is A> or then", "TRuleFile::LoadExpression(5)");
    ill("( <InputA is A> ) and or <InputA is B> then", "TRuleFile::LoadExpression(6)");
    EXPECT_TEXCEPTION(Expression("<InputA is A> ) then"), "Bad Rule File", "Extra right bracket",
                      "TRuleFile::LoadExpression");
    EXPECT_TEXCEPTION(Expression("( <InputA is A> ) ) then"), "Bad Rule File",
                      "Extra right bracket", "TRuleFile::LoadExpression");
    EXPECT_TEXCEPTION(Expression("( <InputA is A> then"), "Bad Rule File", "Missing right bracket",
                      "TRuleFile::LoadExpression");
    EXPECT_TEXCEPTION(Expression("( <InputA is A> or <InputA is B> then"), "Bad Rule File",
                      "Missing right bracket", "TRuleFile::LoadExpression");
    // Two brackets written together are one word, which is no operator.
    ill("( ( <InputA is A> )) then", "TRuleFile::LoadExpression(2)");
    // Atom failures come through unchanged.
    EXPECT_TEXCEPTION(Expression("<InputZ is A> then"), "Bad Rule File",
                      "Invalid input or output name", "TRuleFile::LoadAtom");
}

TEST(LoadExpression, RefusesExpressionsNestedTooDeeply) {
    std::string nots;
    for (int i = 0; i < 250; ++i)
        nots += "not ";
    EXPECT_TEXCEPTION(Expression(nots + "<InputA is A> then"), "Bad Rule File",
                      "Expression nested too deeply", "TRuleFile::LoadExpression");
    std::string chain = "<InputA is A>";
    for (int i = 0; i < 250; ++i)
        chain += " or <InputA is B>";
    EXPECT_TEXCEPTION(Expression(chain + " then"), "Bad Rule File", "Expression nested too deeply",
                      "TRuleFile::LoadExpression");
    std::string brackets;
    for (int i = 0; i < 250; ++i)
        brackets += "( ";
    EXPECT_TEXCEPTION(Expression(brackets + "<InputA is A> then"), "Bad Rule File",
                      "Expression nested too deeply", "TRuleFile::LoadExpression");
    // A long "and" chain is one flat list, however long.
    std::string flat = "<InputA is A>";
    for (int i = 0; i < 250; ++i)
        flat += " and <InputA is B>";
    EXPECT_EQ(Expression(flat + " then").List().numSubExpressions(), 251);
}

TEST(LoadAtom, FieldsFromTheWords) {
    const auto inputs = Inputs();
    struct Case {
        const char* text;
        int variable;
        int term;
        double weight;
        bool negated;
    };
    const Case cases[] = {
        {"InputA is B 0.5>", 0, 1, 0.5, false},
        {"inputb IS d>", 1, 1, 1.0, false},
        {"InputB is not C 0.8123456>", 1, 0, 0.8123456, true},
        {"InputA is NOT A>", 0, 0, 1.0, true},
        {"InputA is C 1e-3>", 0, 2, 0.001, false},
    };
    for (const Case& c : cases) {
        const TRuleAtom atom = AtomOf(c.text, *inputs);
        EXPECT_EQ(atom.Variable, c.variable) << c.text;
        EXPECT_EQ(atom.Term, c.term) << c.text;
        EXPECT_EQ(atom.Weight, c.weight) << c.text;
        EXPECT_EQ(atom.Negated, c.negated) << c.text;
    }
    // A lone word is the term even when it reads as a number.
    TMFSetList numbers(1, "N");
    numbers.SetMFSet(0, Set("X", {"1", "2"}));
    EXPECT_EQ(AtomOf("X is 2>", numbers).Term, 1);
    EXPECT_EQ(AtomOf("X is 2 1>", numbers).Term, 1);
    EXPECT_EQ(AtomOf("X is 2 1>", numbers).Weight, 1.0);
}

TEST(LoadAtom, Failures) {
    const auto inputs = Inputs();
    const auto fails = [&](const char* text, const char* kind) {
        EXPECT_TEXCEPTION(AtomOf(text, *inputs), "Bad Rule File", kind, "TRuleFile::LoadAtom");
    };
    fails("InputZ is A>", "Invalid input or output name");
    fails("", "Invalid input or output name");
    fails("InputA are A>", "'is' expected");
    fails("InputA is not A 0.5 x>", "'>' expected");
    fails("InputA is not A 0.5", "'>' expected");  // end of input before ">"
    fails("InputA is very not A 0.5>", "'>' expected");
    fails("InputA is very not A>", "Extra parameter(s), '>' expected");
    fails("InputA is very A 0.5>", "Extra parameter, '>' expected");
    fails("InputA is Z>", "Invalid classification name");
    fails("InputA is not Z 0.5>", "Invalid classification name");
    fails("InputA is >", "Invalid classification name");
    fails("InputB is A>", "Invalid classification name");  // a term of another variable
}

TEST(LoadRules, RuleLevelFailures) {
    const std::string text = FileWithRules("");
    const std::string endsAfterIf = text.substr(0, text.find("[~RuleList]")) + "if";
    EXPECT_TEXCEPTION(Loaded(endsAfterIf), "Bad Rule File", "Missing 'then'",
                      "TRuleFile::LoadRules");
    EXPECT_TEXCEPTION(Loaded(FileWithRules("if <InputA is A> then <OutputA is A> and NULL\n")),
                      "Bad Rule File", "Consequence expected after 'and'", "TRuleFile::LoadRules");
    EXPECT_TEXCEPTION(Loaded(FileWithRules("if <InputA is A> then <InputA is A>\n")),
                      "Bad Rule File", "Invalid input or output name", "TRuleFile::LoadAtom");
    EXPECT_THROW_TEXT(Loaded(FileWithRules("if <InputA is A> then NULL when\n")), FileTools::Error,
                      "End Tag expected");
}

TEST(LoadRules, ConsequenceForms) {
    const auto set = Loaded(FileWithRules(
        "IF <InputA is A> THEN NULL\n"
        "if <InputA is B> then <OutputA is B 0.5> AND <OutputA is not A>\n"
        "if <InputA is C> then\n"));  // nothing after "then" before the end of the list
    EXPECT_EQ(Shape(*set), "0.0 =>;0.1 => 0.1/0.500000 0.0/1.000000;0.2 =>;");
    EXPECT_TRUE(set->RuleList->GetRule(1).ConsequenceList->GetConsequence(1).Negated);
}

TEST(LoadRules, BlockStructureErrors) {
    EXPECT_THROW_TEXT(Loaded("[Rules]"), FileTools::Error, "[FUZZYRULES] expected");
    EXPECT_THROW_TEXT(Loaded("[FuzzyRules][RuleType = R][~FuzzyRules]"), FileTools::Error,
                      "[MFList] expected");
    std::string text = FileWithRules("");
    EXPECT_THROW_TEXT(Loaded(text.substr(0, text.find("[~RuleList]"))), FileTools::Error,
                      "Unexpected end of file");
}

}  // namespace
}  // namespace glean

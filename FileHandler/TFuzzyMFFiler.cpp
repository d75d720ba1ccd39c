#include "FileHandler/TFuzzyMFFiler.h"

#include <string_view>
#include <utility>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

constexpr int kPrecision = 7;

// One parameter of an MF shape: its key in the file and the field that holds it.
struct Parameter {
    std::string_view key;
    double TBasicMF::*field;
};

// What the file says about one of the five MF types: the parameters in the order of its
// parameter line, and how to build one.
struct Shape {
    std::string_view type;
    std::unique_ptr<TBasicMF> (*make)(std::string name);
    std::vector<Parameter> parameters;
};

template <typename MF>
std::unique_ptr<TBasicMF> Make(std::string name) {
    return std::make_unique<MF>(std::move(name));
}

// The field, seen from the root class; only ever applied to an MF of class MF.
template <typename MF>
Parameter Param(std::string_view key, double MF::*field) {
    return {key, static_cast<double TBasicMF::*>(field)};
}

const std::vector<Shape>& Shapes() {
    static const std::vector<Shape> shapes = {
        {kSingletonType,
         Make<TSingletonMF>,
         {Param<TSingletonMF>("Centre", &TSingletonMF::Centre)}},
        {kTriangularType,
         Make<TTriangularMF>,
         {Param<TTriangularMF>("LeftBound", &TTriangularMF::LeftBound),
          Param<TTriangularMF>("Centre", &TTriangularMF::Centre),
          Param<TTriangularMF>("RightBound", &TTriangularMF::RightBound)}},
        {kRectangularType,
         Make<TRectangularMF>,
         {Param<TRectangularMF>("LeftBound", &TRectangularMF::LeftBound),
          Param<TRectangularMF>("RightBound", &TRectangularMF::RightBound)}},
        {kLShoulderTriangularType,
         Make<TLShoulderTriangularMF>,
         {Param<TLShoulderTriangularMF>("Centre", &TLShoulderTriangularMF::Centre),
          Param<TLShoulderTriangularMF>("RightBound", &TLShoulderTriangularMF::RightBound)}},
        {kRShoulderTriangularType,
         Make<TRShoulderTriangularMF>,
         {Param<TRShoulderTriangularMF>("LeftBound", &TRShoulderTriangularMF::LeftBound),
          Param<TRShoulderTriangularMF>("Centre", &TRShoulderTriangularMF::Centre)}},
    };
    return shapes;
}

// The shape whose type equals type ignoring case, or null.
const Shape* FindShape(const std::string& type) {
    for (const Shape& shape : Shapes()) {
        if (SameText(std::string(shape.type), type)) return &shape;
    }
    return nullptr;
}

// "[", the items that writeItems writes in their open form, "]" and a line end.
template <typename WriteItems>
void WriteOpenLine(const FileTools& tools, std::ostream& out, WriteItems writeItems) {
    out << '[';
    writeItems();
    out << ']';
    tools.WriteNewline(out);
}

void WriteMF(const FileTools& tools, std::ostream& out, const TBasicMF& mf, int index) {
    const Shape* shape = FindShape(mf.Type);
    if (shape == nullptr) GLEAN_FAIL("false");
    tools.WriteStartTag(out, "MF");
    WriteOpenLine(tools, out, [&] {
        if (!mf.Name.empty()) tools.WriteString(out, "Name", mf.Name, false);
        tools.WriteInteger(out, "Index", index, false);
        tools.WriteString(out, "Type", mf.Type, false);
    });
    if (shape->parameters.size() == 1) {
        const Parameter& only = shape->parameters.front();
        tools.WriteNumber(out, only.key, mf.*only.field, kPrecision);
    } else {
        WriteOpenLine(tools, out, [&] {
            for (const Parameter& p : shape->parameters) {
                tools.WriteNumber(out, p.key, mf.*p.field, kPrecision, false);
            }
        });
    }
    tools.WriteEndTag(out, "MF");
    tools.WriteNewline(out);
}

void FailBadData(const std::string& message, const char* operation) {
    throw TException(message, "Bad File Data", operation);
}

// The reads of one MF list, each inside the block whose name it is given.
class TListReader {
public:
    explicit TListReader(std::istream& in) : in_(in) {}

    std::unique_ptr<TMFSetList> List(const std::string* enclosing);

private:
    std::unique_ptr<TBasicMFSet> Set(const std::string& list);
    void ReadMF(const std::string& set, TBasicMFSet& into);

    const BlockItem& Next(const std::string& block, bool noBracket = false) {
        tools_.ReadItem(in_, item_, &block, noBracket);
        return item_;
    }
    std::string Start(const std::string* enclosing, std::string_view name) {
        tools_.ReadItem(in_, item_, enclosing);
        return tools_.ExpectBlockStart(in_, item_, name);
    }
    void End(const std::string& block) { tools_.ExpectBlockEnd(in_, Next(block)); }
    std::string String(const std::string& block, std::string_view key, bool noBracket = false) {
        return tools_.ReadString(in_, Next(block, noBracket), key);
    }
    int Integer(const std::string& block, std::string_view key, bool noBracket = false) {
        return tools_.ReadInteger(in_, Next(block, noBracket), key);
    }
    double Number(const std::string& block, std::string_view key, bool noBracket = false) {
        return tools_.ReadNumber(in_, Next(block, noBracket), key);
    }

    std::istream& in_;
    FileTools tools_;
    BlockItem item_;
};

std::unique_ptr<TMFSetList> TListReader::List(const std::string* enclosing) {
    const std::string list = Start(enclosing, "MFList");
    const std::string info = Start(&list, "MFListInfo");
    const int count = Integer(info, "VariablesRepresented");
    std::string name = String(info, "ListName");
    End(info);
    if (count < 0) FailBadData("VariablesRepresented must be >= 0", "TFuzzyMFFiler::LoadMFList");
    auto result = std::make_unique<TMFSetList>(count, std::move(name));
    for (int g = 0; g < count; ++g)
        result->SetMFSet(g, Set(list));
    End(list);
    return result;
}

std::unique_ptr<TBasicMFSet> TListReader::Set(const std::string& list) {
    const std::string block = Start(&list, "MFSet");
    const std::string info = Start(&block, "MFSetInfo");
    std::string name = String(info, "Name");
    Integer(info, "Index", true);  // sets take their positions from the order of the blocks
    std::string type = String(info, "Type", true);
    const double lower = Number(info, "LowerBound");
    const double upper = Number(info, "UpperBound", true);
    const int count = Integer(info, "NumberOfMF");
    End(info);
    if (count < 1) FailBadData("NumberOfMF must be > 0", "TFuzzyMFFiler::LoadMFList");
    // "FIler" and "MFlist", unlike the line above: callers match this operation byte for byte.
    if (!(upper > lower))
        FailBadData("UpperBound must be > LowerBound", "TFuzzyMFFIler::LoadMFlist");

    auto set = std::make_unique<TBasicMFSet>(std::move(type), std::move(name), count, lower, upper);
    for (int i = 0; i < count; ++i)
        ReadMF(block, *set);
    End(block);
    // A repeated Index leaves another slot empty, and every user of a set expects full slots.
    for (int i = 0; i < count; ++i) {
        if (set->GetMF(i) == nullptr) {
            FailBadData("No MF with Index " + std::to_string(i) + " in MF set " + set->Name,
                        "TFuzzyMFFiler::LoadMFList");
        }
    }
    return set;
}

void TListReader::ReadMF(const std::string& set, TBasicMFSet& into) {
    const std::string block = Start(&set, "MF");
    std::string name = String(block, "Name");
    const int index = Integer(block, "Index", true);
    const std::string type = String(block, "Type", true);
    const Shape* shape = FindShape(type);
    if (shape == nullptr) FailBadData("Unknown MF type " + type, "TFuzzyMFFiler::LoadMFList");
    auto mf = shape->make(std::move(name));
    bool first = true;
    for (const Parameter& p : shape->parameters) {
        (*mf).*p.field = Number(block, p.key, !first);
        first = false;
    }
    into.SetMF(index, std::move(mf));
    End(block);
}

}  // namespace

void TFuzzyMFFiler::SaveMFList(std::ostream& out, const TMFSetList& list) {
    const FileTools tools;
    tools.WriteStartTag(out, "MFList");
    tools.WriteNewline(out);
    tools.WriteStartTag(out, "MFListInfo");
    tools.WriteInteger(out, "VariablesRepresented", list.VariablesRepresented);
    if (!list.ListName.empty()) tools.WriteString(out, "ListName", list.ListName);
    tools.WriteEndTag(out, "MFListInfo");
    tools.WriteNewline(out);
    for (int i = 0; i < list.VariablesRepresented; ++i) {
        const TBasicMFSet* set = list.GetMFSet(i);
        GLEAN_CHECK_TEXT(set != nullptr, "set!=NULL");
        SaveMFSet(out, *set, i);
    }
    tools.WriteEndTag(out, "MFList");
    tools.WriteNewline(out);
}

void TFuzzyMFFiler::SaveMFSet(std::ostream& out, const TBasicMFSet& set, int index) {
    // Without a name or a type the block could not be read back.
    GLEAN_CHECK_TEXT(!set.Name.empty(), "set->Name!=NULL");
    GLEAN_CHECK_TEXT(!set.Type.empty(), "set->Type!=NULL");
    const FileTools tools;
    tools.WriteStartTag(out, "MFSet");
    tools.WriteNewline(out);
    tools.WriteStartTag(out, "MFSetInfo");
    WriteOpenLine(tools, out, [&] {
        tools.WriteString(out, "Name", set.Name, false);
        tools.WriteInteger(out, "Index", index, false);
        tools.WriteString(out, "Type", set.Type, false);
    });
    WriteOpenLine(tools, out, [&] {
        tools.WriteNumber(out, "LowerBound", set.LowerBound, kPrecision, false);
        tools.WriteNumber(out, "UpperBound", set.UpperBound, kPrecision, false);
    });
    tools.WriteInteger(out, "NumberOfMF", set.NumberOfMF);
    tools.WriteEndTag(out, "MFSetInfo");
    tools.WriteNewline(out);
    for (int i = 0; i < set.NumberOfMF; ++i) {
        const TBasicMF* mf = set.GetMF(i);
        GLEAN_CHECK_TEXT(mf != nullptr, "mf!=NULL");
        WriteMF(tools, out, *mf, i);
    }
    tools.WriteEndTag(out, "MFSet");
    tools.WriteNewline(out);
}

std::unique_ptr<TMFSetList> TFuzzyMFFiler::LoadMFList(std::istream& in,
                                                      const std::string* enclosing) {
    return TListReader(in).List(enclosing);
}

std::vector<std::pair<std::string_view, double>> TFuzzyMFFiler::Parameters(const TBasicMF& mf) {
    std::vector<std::pair<std::string_view, double>> parameters;
    if (const Shape* shape = FindShape(mf.Type)) {
        for (const Parameter& p : shape->parameters)
            parameters.emplace_back(p.key, mf.*p.field);
    }
    return parameters;
}

}  // namespace glean

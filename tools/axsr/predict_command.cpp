#include "tools/axsr/predict_command.hpp"

#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/regression/csv.hpp"
#include "axgenetic/regression/regressor.hpp"
#include "tools/axsr/output_files.hpp"

#include <filesystem>
#include <iostream>

namespace axsr {

namespace {

// A column name as a CSV field: quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& Name) {
    if (Name.find_first_of(",\"\r\n") == std::string::npos) return Name;
    std::string Out = "\"";
    for (const char Ch : Name)
        Out += Ch == '"' ? std::string("\"\"") : std::string(1, Ch);
    return Out + '"';
}

} // namespace

void RunPredict(const TPredictOptions& Options) {
    ax::TAxSymbolicRegressor SR;
    try {
        SR.LoadModel(Options.ModelFile);
    } catch (const std::exception& E) {
        throw TInputError(Options.ModelFile + ": not a model document: " + E.what());
    }
    const ax::TAxSRTable Table = ax::ReadCSV(Options.DataFile);
    for (const auto& Name : SR.FeatureNames())
        if (Table.IndexOf(Name) < 0)
            throw TInputError(Options.DataFile + ": no column \"" + Name +
                              "\", which the model reads");
    const std::vector<double> Predicted = SR.Predict(ax::ToDataSet(Table));

    // The prediction column gets a name no kept column has.
    std::string Name = "prediction";
    while (Options.KeepColumns && Table.IndexOf(Name) >= 0)
        Name += '_';
    std::string Out;
    if (Options.KeepColumns)
        for (const auto& Column : Table.Names)
            Out += Field(Column) + ',';
    Out += Name + '\n';
    for (std::size_t R = 0; R < Predicted.size(); ++R) {
        if (Options.KeepColumns)
            for (const auto& Column : Table.Columns)
                Out += NumberText(Column[R]) + ',';
        Out += NumberText(Predicted[R]) + '\n';
    }
    if (Options.OutputFile.empty()) {
        std::cout << Out << std::flush;
        return;
    }
    const std::filesystem::path Path(Options.OutputFile);
    WriteFilesAtomically(Path.has_parent_path() ? Path.parent_path() : std::filesystem::path("."),
                         {{Path.filename().string(), Out}});
}

} // namespace axsr

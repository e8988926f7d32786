// An ordered list of text lines, each with an observed object pointer, as descriptions
// and hosts exchange them.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "axgenetic/platform/object.hpp"

namespace ax {

// Unsorted, duplicates allowed. The object of a line is never owned. OnChange fires after
// every change; between BeginUpdate and EndUpdate it is held back and the outermost
// EndUpdate fires it once if anything changed. Bad indexes raise EListError
// "List index out of bounds (<index>)".
class AXGENETIC_API TStringList : public TPersistent {
public:
    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    std::string ClassName() const override { return "TStringList"; }

    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int Index) const;
    const std::string& operator[](int Index) const { return Strings(Index); }
    void SetStrings(int Index, const std::string& Value);
    TObject* Objects(int Index) const;
    void SetObjects(int Index, TObject* Value);

    // Appends a line and returns its index.
    int Add(const std::string& S);
    int AddObject(const std::string& S, TObject* AObject);
    // Puts a line at Index (0..Count).
    void Insert(int Index, const std::string& S);
    void InsertObject(int Index, const std::string& S, TObject* AObject);
    void Delete(int Index);
    void Clear();
    // Appends every line (with its object) of Strings, as one change.
    void AddStrings(const TStringList& Strings);

    // Index of the first line equal to S ignoring ASCII letter case, or -1.
    int IndexOf(std::string_view S) const;

    // Every line followed by "\n".
    std::string Text() const;
    // Replaces the lines by those of Value, split at "\n", "\r\n" or "\r"; a final line
    // break does not start another line. One change.
    void SetText(std::string_view Value);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Copies lines and objects of another TStringList, as one change.
    void Assign(const TPersistent& Source) override;

    std::function<void(TObject* Sender)> OnChange;

protected:
    // Called after every change; fires OnChange unless a batch is open.
    virtual void Changed();

private:
    struct TItem {
        std::string Text;
        TObject* Object = nullptr;
    };
    void CheckIndex(int Index) const;

    std::vector<TItem> FItems;
    int FUpdateCount = 0;
    bool FChangedInBatch = false;
};

} // namespace ax

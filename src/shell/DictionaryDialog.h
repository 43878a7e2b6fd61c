#pragma once

#include "store/AppSettings.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class QTableWidget;

namespace vexana::store {
class UserInterface;
}
namespace vexana::wordanalysis {
class Dictionary;
}

namespace vexana::shell {

// "Dictionary": the categories, the search items of the chosen one, and the dictionary's
// files. It stays open beside the word list, whose "Add to Dictionary" fills the chosen
// category.
class DictionaryDialog : public QDialog {
    Q_OBJECT
public:
    DictionaryDialog(wordanalysis::Dictionary& dictionary, store::AppSettings& settings,
                     store::UserInterface& ui, QWidget* parent = nullptr);

    QListWidget* categoryList() const { return categories_; }
    QTableWidget* itemTable() const { return items_; }
    std::int32_t currentCategory() const;
    void setCurrentCategory(std::int32_t category);

    // "New" of either list: an empty entry in its editor; the name is taken when it closes.
    void newCategory();
    void newItem();
    void deleteCategory();
    void deleteItems();
    void openFile(bool merge);
    void saveFile();
    void deleteAll();
    // "Add to Dictionary": the words become items of the chosen category, selected.
    // False (and told why) without a category.
    bool addWords(const std::vector<std::string>& words);
    // The lists again from the dictionary, with that category chosen (0: the one chosen now).
    void reload(std::int32_t select = 0);

    void done(int result) override;

private:
    void fillItems(const std::vector<std::int32_t>& select = {});
    // A button that would find nothing to act on is off.
    void updateButtons();
    void finishCategory();
    void finishItem();
    bool confirm(const char* question);
    void pathChanged(const std::string& path);

    wordanalysis::Dictionary& dictionary_;
    store::AppSettings& settings_;
    store::UserInterface& ui_;
    QListWidget* categories_;
    QTableWidget* items_;
    bool filling_ = false;
    std::int32_t beforeNew_ = 0; // the category chosen before "New"
};

} // namespace vexana::shell

#include "ui/toolkit_prelude.h"

#include "ui/input_list_control.h"

#include <algorithm>
#include <utility>

namespace qm {

InputListControl::InputListControl(wxWindow* parent, const wxPoint& position, const wxSize& size)
    : wxListCtrl(parent, wxID_ANY, position, size, wxLC_REPORT | wxLC_VIRTUAL) {}

void InputListControl::appendRow(const std::string& path) {
  rows_.push_back(path);
  SetItemCount(rowCount());
  RefreshItem(rowCount() - 1);
}

void InputListControl::appendRows(std::vector<std::string> paths) {
  if (paths.empty()) return;
  const long first = rowCount();
  rows_.insert(rows_.end(), std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end()));
  SetItemCount(rowCount());
  RefreshItems(first, rowCount() - 1);
}

void InputListControl::clearRows() {
  rows_.clear();
  DeleteAllItems();
}

std::vector<long> InputListControl::selectedRows() const {
  std::vector<long> selected;
  for (long row = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
       row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    selected.push_back(row);
  return selected;
}

std::vector<std::string> InputListControl::removeSelectedRows() {
  const std::vector<long> selected = selectedRows();
  std::vector<std::string> removed;
  if (selected.empty()) return removed;
  removed.reserve(selected.size());
  std::vector<std::string> kept;
  kept.reserve(rows_.size() - selected.size());
  std::size_t next = 0;
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (next < selected.size() && static_cast<long>(row) == selected[next]) {
      removed.push_back(std::move(rows_[row]));
      ++next;
    } else {
      kept.push_back(std::move(rows_[row]));
    }
  }
  rows_ = std::move(kept);
  // Rows go one at a time, first selected first, so each later one has
  // moved up by those removed before it.
  long last = selected.back() - static_cast<long>(selected.size() - 1);
  SetItemState(-1, 0, wxLIST_STATE_SELECTED);
  SetItemCount(rowCount());
  if (last == rowCount()) --last;
  if (last >= 0) {
    SetItemState(last, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    EnsureVisible(last);
  }
  Refresh();
  return removed;
}

void InputListControl::selectAllRows() {
  if (rows_.empty()) return;
  SetItemState(-1, 0, wxLIST_STATE_SELECTED);
  SetItemState(-1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
}

void InputListControl::setMarked(std::function<bool(const std::string&)> marked) {
  marked_ = std::move(marked);
  Refresh();
}

bool InputListControl::isMarked(long row) const { return marked_ && marked_(path(row)); }

wxString InputListControl::OnGetItemText(long item, long) const {
  if (item < 0 || item >= rowCount()) return {};
  return wxString::FromUTF8(path(item));
}

int InputListControl::OnGetItemImage(long item) const {
  return item >= 0 && item < rowCount() && isMarked(item) ? 0 : -1;
}

}  // namespace qm

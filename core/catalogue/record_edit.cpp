// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/record_edit.h"

#include "core/catalogue/styles.h"

namespace kelvarn {

bool isEmpty(const RecordEdit& edit) {
    return !edit.author && !edit.title && !edit.email && !edit.style && !edit.rating &&
           !edit.hasFile;
}

CheckedWrite saveRecordEdit(CatalogueFile& catalogue, const RecordRef& ref,
                            const RecordEdit& edit) {
    if (isEmpty(edit)) {
        return CheckedWrite::Declined;
    }
    return catalogue.updateIfHolds(ref, [&](MixRecord& record) {
        if (edit.author) {
            record.Author = cutToCapacity(*edit.author, kAuthorCapacity);
        }
        if (edit.title) {
            record.Title = cutToCapacity(*edit.title, kTitleCapacity);
        }
        if (edit.email) {
            record.Email = cutToCapacity(*edit.email, kEmailCapacity);
        }
        if (edit.style) {
            record.Style = *edit.style;
        }
        if (edit.rating) {
            record.Rating = *edit.rating;
        }
        if (edit.hasFile) {
            record.HasFile = *edit.hasFile ? 1 : 0;
        }
        return true;
    });
}

void applyRecordEdit(RecordGrid& grid, int row, const RecordEdit& edit) {
    if (row < 1 || row >= grid.rowCount()) {
        return;
    }
    if (edit.author) {
        grid.setCell(kColAuthor, row, *edit.author);
    }
    if (edit.title) {
        grid.setCell(kColTitle, row, *edit.title);
    }
    if (edit.email) {
        grid.setCell(kColEmail, row, *edit.email);
    }
    if (edit.style) {
        grid.setCell(kColStyle, row, StyleName(*edit.style));
    }
    if (edit.rating) {
        grid.setCell(kColRating, row, std::to_string(*edit.rating));
    }
    if (edit.hasFile) {
        grid.setCell(kColFile, row, FileFlagText(*edit.hasFile ? 1 : 0));
    }
}

}  // namespace kelvarn

#include <gtest/gtest.h>

#include "editing/RDEdit.h"

TEST(RDEditDataTest, AnEditorMakesAnEditingDocument)
{
    TRichDocEdit editor;
    ASSERT_NE(editor.EditData(), nullptr);
    EXPECT_EQ(editor.EditData()->CaretDrawItemNo, -1);
    EXPECT_EQ(editor.EditData()->UndoList->MaxGroupCount, -1);
}

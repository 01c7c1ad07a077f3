-- The block rules database shipped as Support/Rules.rls. Built by rules.cmake:
-- Block paths are relative to the program folder (the folder of the programs,
-- which holds Support/), so the file works wherever the folder is copied.
-- Statements end with ";" at the end of a line; no ";" inside the texts.
-- Rows are matched in the order they are inserted here.
CREATE TABLE Rules_Message (
    Value TEXT,     -- text a waypoint message must begin (Left) or end (Right) with
    BlockPath TEXT, -- the block drawing: relative to the program folder, or absolute
    Location TEXT   -- "Left" or "Right", exactly
);
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('CAMP ', 'Support/Inserts/Meridian/a.dxf', 'Left');
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('WELL ', 'Support/Inserts/Meridian/c.dxf', 'Left');
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('-T', 'Support/Inserts/SporTrak/b.dxf', 'Right');
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('-P', 'Support/Inserts/Flag.dxf', 'Right');

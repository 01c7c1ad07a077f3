-- The block rules database shipped as Support/Rules.rls. Built by rules.cmake:
-- %SUPPORT% becomes the absolute path of the Support folder beside the programs.
-- Statements end with ";" at the end of a line; no ";" inside the texts.
-- Rows are matched in the order they are inserted here.
CREATE TABLE Rules_Message (
    Value TEXT,     -- text a waypoint message must begin (Left) or end (Right) with
    BlockPath TEXT, -- full path of the block drawing
    Location TEXT   -- "Left" or "Right", exactly
);
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('CAMP ', '%SUPPORT%/Inserts/Meridian/a.dxf', 'Left');
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('WELL ', '%SUPPORT%/Inserts/Meridian/c.dxf', 'Left');
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('-T', '%SUPPORT%/Inserts/SporTrak/b.dxf', 'Right');
INSERT INTO Rules_Message (Value, BlockPath, Location) VALUES ('-P', '%SUPPORT%/Inserts/Flag.dxf', 'Right');

<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.10" name="palette" tilewidth="9" tileheight="11" spacing="1" margin="0" tilecount="6" columns="3">
 <image source="keyed_palette.png" trans="ff00ff" width="29" height="23"/>
</tileset>
